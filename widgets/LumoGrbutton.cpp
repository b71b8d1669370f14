#include "widgets/LumoGrbutton.h"

#include <QMouseEvent>
#include <QPainter>

#include "widgets/LumoGradient.h"
#include "widgets/LumoMath.h"

TLumo_grbutton::TLumo_grbutton(QWidget* parent) : TLumo_Custom_Panel(parent), m_link(*this) {
    resize(80, 22);
    m_font.Font = font();
    m_fontMouseOver = m_font;
    m_link.OnEnabledChanged = [this](bool enabled) { Enabled = enabled; };
    if (parent != nullptr && m_caption.isEmpty()) {
        m_caption = objectName();
    }
}

TLumo_grbutton::~TLumo_grbutton() = default;

void TLumo_grbutton::repaintButton() {
    ++m_repaints;
    update();
}

void TLumo_grbutton::SetLinkedTo(QWidget* control) {
    m_link.SetTarget(control);
}

void TLumo_grbutton::SetCaption(const QString& caption) { assign(m_caption, caption); }
void TLumo_grbutton::SetLedExists(bool on) { assign(m_ledExists, on); }
void TLumo_grbutton::SetLedState(bool on) { assign(m_ledState, on); }
void TLumo_grbutton::SetLedColorOn(unsigned color) { assign(m_ledColorOn, color); }
void TLumo_grbutton::SetLedStyle(tledstyle style) { assign(m_ledStyle, style); }
void TLumo_grbutton::SetLedPosition(tledposition position) { assign(m_ledPosition, position); }
void TLumo_grbutton::SetLedColorOff(unsigned color) { assign(m_ledColorOff, color); }
void TLumo_grbutton::SetColor(unsigned color) { assign(m_color, color); }
void TLumo_grbutton::SetColorBorder(unsigned color) { assign(m_colorBorder, color); }
void TLumo_grbutton::SetGradientEnd(unsigned color) { assign(m_gradientEnd, color); }
void TLumo_grbutton::SetFontMouseOver(const TLumoFont& font) { assign(m_fontMouseOver, font); }
void TLumo_grbutton::SetFont(const TLumoFont& font) { assign(m_font, font); }
void TLumo_grbutton::SetShowCaption(bool on) { assign(m_showCaption, on); }
void TLumo_grbutton::SetWordWrap(bool on) { assign(m_wordWrap, on); }
void TLumo_grbutton::SetBorderWidth(int width) { assign(m_borderWidth, width); }
void TLumo_grbutton::SetAlignment(TLumoAlignment alignment) { assign(m_alignment, alignment); }
void TLumo_grbutton::SetVerticalAlignment(TVerticalAlignment alignment) { assign(m_verticalAlignment, alignment); }

void TLumo_grbutton::SetGlyph(const QImage& glyph) {
    m_glyph = glyph.copy();
    repaintButton();
}

QRect TLumo_grbutton::LedBox() const {
    if (!m_ledExists) {
        return {};
    }
    const int w = width();
    const int h = height();
    const int bw = m_borderWidth;
    const int top = lumoRound(h / 2.0 - 4);
    const int bottom = lumoRound(h / 2.0 + 4);
    const int left = m_ledPosition == lpright ? w - bw - 12 : bw + 4;
    const int right = m_ledPosition == lpright ? w - bw - 4 : bw + 12;
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRect TLumo_grbutton::CaptionArea() const {
    const int bw = m_borderWidth;
    const int ledWidth = m_ledExists ? 8 : 0;
    int left = bw;
    int right = width() - bw;
    if (m_ledPosition == lpleft) {
        left += ledWidth;
    } else {
        right -= ledWidth;
    }
    return QRect(QPoint(left, bw), QPoint(right - 1, height() - bw - 1));
}

void TLumo_grbutton::paintLed(ILumoCanvas& canvas, const QRect& box) {
    const QColor color = lumoColor(m_ledState ? m_ledColorOn : m_ledColorOff);
    const int left = box.left();
    const int top = box.top();
    const int right = box.left() + box.width();
    const int bottom = box.top() + box.height();
    switch (m_ledStyle) {
        case lssquare:
            canvas.FillRect(box, color);
            break;
        case lsellipse:
            canvas.Ellipse(box, color, lumoColor(0x000000));
            break;
        case lsbox:
            canvas.Line(QPoint(left, top), QPoint(left, bottom), color, 2);
            canvas.Line(QPoint(left, bottom), QPoint(right, bottom), color, 2);
            canvas.Line(QPoint(right, bottom), QPoint(right, top), color, 2);
            canvas.Line(QPoint(right, top), QPoint(left - m_borderWidth, top), color, 2);
            break;
        case lscheck:
            canvas.Line(QPoint(left, top), QPoint(right, bottom), color, 2);
            canvas.Line(QPoint(right, top), QPoint(left, bottom), color, 2);
            break;
    }
}

void TLumo_grbutton::PaintTo(ILumoCanvas& canvas) {
    const int w = width();
    const int h = height();
    const int bw = m_borderWidth;
    // 1. Colours and font by look: normal, hovered, hovered and pressed.
    const TLumoFont& font = m_hovered ? m_fontMouseOver : m_font;
    const unsigned start = m_hovered ? (m_pressed ? ColorDown : ColorOver) : m_color;
    // 2. The face.
    GradientFill(canvas, QRect(0, 0, w, h), start, gsTopToBottom, 255, m_gradientEnd);
    // 3. The glyph, centred; its transparent colour (the top-left pixel) shows the solid
    // end colour, not the gradient.
    if (!m_glyph.isNull()) {
        const QImage shown = lumoReplaceColor(m_glyph, m_glyph.pixelColor(0, 0), lumoColor(m_gradientEnd));
        const QRect target(w / 2 - m_glyph.width() / 2 + 1, h / 2 - m_glyph.height() / 2 + 1, m_glyph.width(),
                           m_glyph.height());
        canvas.StretchDraw(target, shown, shown.rect());
    }
    // 4. The LED.
    m_ledWidth = 0;
    if (m_ledExists) {
        m_ledWidth = 8;
        paintLed(canvas, LedBox());
    }
    // 5. The caption in its area.
    if (m_showCaption && !m_caption.isEmpty()) {
        int flags = m_alignment == taLeftJustify    ? Qt::AlignLeft
                    : m_alignment == taRightJustify ? Qt::AlignRight
                                                    : Qt::AlignHCenter;
        flags |= m_verticalAlignment == taAlignTop      ? Qt::AlignTop
                 : m_verticalAlignment == taAlignBottom ? Qt::AlignBottom
                                                        : Qt::AlignVCenter;
        canvas.DrawTextInRect(CaptionArea(), m_caption, font.Font, font.Color, flags, m_wordWrap);
    }
    // 6. The frame, from (bw div 2, bw div 2) to (W, H).
    if (bw > 0) {
        canvas.FrameRect(QRect(QPoint(bw / 2, bw / 2), QPoint(w - 1, h - 1)), lumoColor(m_colorBorder), bw);
    }
}

void TLumo_grbutton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    LumoPainterCanvas canvas(painter);
    PaintTo(canvas);
}

void TLumo_grbutton::resizeEvent(QResizeEvent* event) {
    TLumo_Custom_Panel::resizeEvent(event);
    m_link.RecordOffsets();
}

bool TLumo_grbutton::event(QEvent* event) {
    // A button that gets a parent is named after its component until given a caption.
    if (event->type() == QEvent::ParentChange && m_caption.isEmpty() && parentWidget() != nullptr) {
        m_caption = objectName();
    }
    return TLumo_Custom_Panel::event(event);
}

void TLumo_grbutton::MouseEntered() {
    m_hovered = true;
    repaintButton();
    fireEnter();
}

void TLumo_grbutton::MouseLeft() {
    m_hovered = false;
    repaintButton();
    fireLeave();
}

void TLumo_grbutton::mousePressEvent(QMouseEvent* event) {
    TLumo_Custom_Panel::mousePressEvent(event);
    if (OnMouseDown) {
        const QPoint at = event->position().toPoint();
        OnMouseDown(*this, event->button(), event->modifiers(), at.x(), at.y());
    }
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        repaintButton();
    }
}

void TLumo_grbutton::mouseReleaseEvent(QMouseEvent* event) {
    TLumo_Custom_Panel::mouseReleaseEvent(event);
    const QPoint at = event->position().toPoint();
    if (OnMouseUp) {
        OnMouseUp(*this, event->button(), event->modifiers(), at.x(), at.y());
    }
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(at);
    if (m_pressed) {
        m_pressed = false;
        repaintButton();
    }
    if (click) {
        Click();
    }
}

void TLumo_grbutton::Click() {
    if (OnClick) {
        OnClick(*this);
    }
    if (Enabled && LedChangeOnClick) {
        // Shown at the repaint the release causes.
        m_ledState = !m_ledState;
    }
}
