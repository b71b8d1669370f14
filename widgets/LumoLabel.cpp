#include "widgets/LumoLabel.h"

#include <QMouseEvent>
#include <QPainter>

#include "platform/Dialogs.h"

TLumo_label::TLumo_label(QWidget* parent) : TLumo_Custom_Label(parent), m_link(*this) {
    m_font.Font = QLabel::font();
    m_font.Color = lumoColor(0x000000);
    m_fontShadow = m_font;
    m_fontShadow.Color = lumoColor(0x808080);
    m_savedColor = m_font.Color;
    setAttribute(Qt::WA_TranslucentBackground, true);
    // The kit's labels lay their text out from the top, the shadow with them.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The label's own enabled state follows the linked control, so a disabled label
    // looks disabled.
    m_link.OnEnabledChanged = [this](bool enabled) { setEnabled(enabled); };
}

void TLumo_label::repaintLabel() {
    ++m_repaints;
    update();
}

void TLumo_label::SetLinkedTo(QWidget* control) {
    m_link.SetTarget(control);
}

void TLumo_label::SetShadow(bool on) {
    if (on != m_shadow) {
        m_shadow = on;
        repaintLabel();
    }
}

void TLumo_label::SetFont(const TLumoFont& font) {
    if (!(font == m_font)) {
        m_font = font;
        repaintLabel();
    }
}

void TLumo_label::SetFontShadow(const TLumoFont& font) {
    if (!(font == m_fontShadow)) {
        m_fontShadow = font;
        repaintLabel();
    }
}

void TLumo_label::SetTransparent(bool on) {
    if (on != m_transparent) {
        m_transparent = on;
        setAttribute(Qt::WA_TranslucentBackground, on);
        repaintLabel();
    }
}

int TLumo_label::textFlags() const {
    return static_cast<int>(alignment());
}

void TLumo_label::PaintTo(ILumoCanvas& canvas) const {
    const QRect client(0, 0, width(), height());
    // A label with a background covers the shadow: it shows only on a transparent one.
    if (!m_transparent) {
        canvas.FillRect(client, lumoColor(Color));
    }
    if (m_shadow && m_transparent) {
        const QRect shadow = client.translated(-ShadowOffset, -ShadowOffset);
        const int horizontal = static_cast<int>(alignment() & Qt::AlignHorizontal_Mask);
        canvas.DrawTextInRect(shadow, text(), m_fontShadow.Font, m_fontShadow.Color, horizontal | Qt::AlignTop, true);
    }
    const QColor color = isEnabled() ? m_font.Color : palette().color(QPalette::Disabled, QPalette::WindowText);
    canvas.DrawTextInRect(client, text(), m_font.Font, color, textFlags(), wordWrap());
}

void TLumo_label::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    LumoPainterCanvas canvas(painter);
    PaintTo(canvas);
}

void TLumo_label::resizeEvent(QResizeEvent* event) {
    TLumo_Custom_Label::resizeEvent(event);
    m_link.RecordOffsets();
}

void TLumo_label::MouseEntered() {
    if (m_font.Color != lumoColor(ColorMouse)) {
        m_savedColor = m_font.Color;
        m_font.Color = lumoColor(ColorMouse);
        repaintLabel();
    }
    fireEnter();
}

void TLumo_label::MouseLeft() {
    if (m_font.Color != m_savedColor) {
        m_font.Color = m_savedColor;
        repaintLabel();
    }
    fireLeave();
}

void TLumo_label::mouseReleaseEvent(QMouseEvent* event) {
    TLumo_Custom_Label::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Click();
    }
}

void TLumo_label::Click() {
    if (!GotoUrl.empty()) {
        harbrook::Shell().StartCommandLine(GotoUrl);
    }
    if (OnClick) {
        OnClick(*this);
    }
}
