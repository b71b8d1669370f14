#include "widgets/LumoProgressbar.h"

#include <QLocale>
#include <QPainter>

#include "widgets/LumoGradient.h"
#include "widgets/LumoMath.h"

TLumo_progressbar::TLumo_progressbar(QWidget* parent) : TLumo_Custom_PaintBox(parent) {
    resize(150, 22);
    Font.Font = font();
    Font.Color = lumoColor(0xFFFFFF);
}

void TLumo_progressbar::repaintBar() {
    ++m_repaints;
    update();
}

void TLumo_progressbar::SetPosition(long double value) {
    m_position = value;
    if (m_position > m_max) {
        m_position = m_max;
    }
    if (m_position < m_min) {
        m_position = m_min;
    }
    repaintBar();
}

void TLumo_progressbar::SetMax(long double value) {
    if (value == m_max) {
        return;
    }
    m_max = value;
    if (m_max < m_min) {
        m_min = m_max;
    }
    if (m_position > m_max) {
        m_position = m_max;
    }
    repaintBar();
}

void TLumo_progressbar::SetMin(long double value) {
    if (value == m_min) {
        return;
    }
    m_min = value;
    if (m_min > m_max) {
        m_max = m_min;
    }
    if (m_position < m_min) {
        m_position = m_min;
    }
    repaintBar();
}

void TLumo_progressbar::SetSteps(int steps) {
    if (steps != m_steps) {
        m_steps = steps < 0 ? 0 : steps;
        repaintBar();
    }
}

void TLumo_progressbar::SetAlignment(TLumoAlignment alignment) {
    m_alignment = alignment;
    repaintBar();
}

void TLumo_progressbar::SetCaption(const QString& caption) {
    m_caption = caption;
    repaintBar();
}

void TLumo_progressbar::SetBackColor(unsigned color) { assign(m_backColor, color); }
void TLumo_progressbar::SetStartColor(unsigned color) { assign(m_startColor, color); }
void TLumo_progressbar::SetEndColor(unsigned color) { assign(m_endColor, color); }
void TLumo_progressbar::SetValueAsText(bool on) { assign(m_valueAsText, on); }
void TLumo_progressbar::SetAddToText(const QString& text) { assign(m_addToText, text); }
void TLumo_progressbar::SetVertical(bool on) { assign(m_vertical, on); }
void TLumo_progressbar::SetBorderWidth(int width) { assign(m_borderWidth, width); }
void TLumo_progressbar::SetBorderColor(unsigned color) { assign(m_borderColor, color); }

QString TLumo_progressbar::Text() const {
    if (!m_valueAsText) {
        return m_caption;
    }
    return QLocale().toString(static_cast<double>(m_position), 'f', 2) + m_addToText;
}

void TLumo_progressbar::PaintTo(ILumoCanvas& canvas) const {
    const int w = width();
    const int h = height();
    // A negative border width counts as none.
    const int bw = m_borderWidth < 0 ? 0 : m_borderWidth;

    // 1. How far the bar has come, in whole steps when there are steps.
    double fraction = 0;
    if (m_max != m_min && m_position > m_min) {
        fraction = static_cast<double>((m_position - m_min) / (m_max - m_min));
    }
    if (m_steps > 0) {
        fraction = lumoRound(m_steps * fraction) / static_cast<double>(m_steps);
    }
    // 2. and 3. Step length and band count.
    const int stepLength = m_steps >= 1 ? lumoRound(static_cast<double>(m_vertical ? height() : width()) / m_steps) : 0;
    const int bands = m_steps >= 1 && m_steps <= 255 ? m_steps : 255;

    // 5. The gradient, fixed to the whole bar and offset by the border width.
    for (int band = 0; band <= bands; ++band) {
        const QColor color = lumoColor(GradientBandColor(m_startColor, m_endColor, band, bands));
        if (m_vertical) {
            const int from = MulDiv(bands - band - 1, h, bands);
            const int to = MulDiv(bands - band, h, bands);
            canvas.FillRect(QRect(bw, from + bw, w, to - from), color);
        } else {
            const int from = MulDiv(band - 1, w, bands);
            const int to = MulDiv(band, w, bands);
            canvas.FillRect(QRect(from + bw, bw, to - from, h), color);
        }
    }
    // 6. The part not yet reached.
    if (m_vertical) {
        const int reachedFrom = lumoRound((1 - fraction) * h);
        canvas.FillRect(QRect(0, 0, w, reachedFrom), lumoColor(m_backColor));
    } else {
        const int reachedTo = lumoRound(w * fraction);
        canvas.FillRect(QRect(reachedTo, 0, w - reachedTo, h), lumoColor(m_backColor));
    }
    // 7. Step lines across reached and unreached parts alike.
    const QColor border = lumoColor(m_borderColor);
    if (bw > 0 && stepLength > 0) {
        for (int k = 1; k <= bands - 1; ++k) {
            const int at = k * stepLength;
            if (m_vertical) {
                canvas.Line(QPoint(bw, at), QPoint(width() - bw, at), border, bw);
            } else {
                canvas.Line(QPoint(at, bw), QPoint(at, height() - bw), border, bw);
            }
        }
    }
    // 8. The frame, from (bw div 2, bw div 2) to (w - bw div 2 + 1, h - bw div 2 + 1).
    if (bw > 0) {
        const int inset = bw / 2;
        canvas.FrameRect(QRect(QPoint(inset, inset), QPoint(w - inset, h - inset)), border, bw);
    }
    // 9. The text.
    const QString text = Text();
    if (!text.isEmpty()) {
        const int textWidth = canvas.TextWidth(text, Font.Font);
        const int textHeight = canvas.TextHeight(text, Font.Font);
        const int y = lumoRound(h / 2.0 - textHeight / 2.0);
        int x = lumoRound(w / 2.0 - textWidth / 2.0);
        if (m_alignment == taLeftJustify) {
            x = bw + 2;
        } else if (m_alignment == taRightJustify) {
            x = w - bw - 2 - textWidth;
        }
        canvas.DrawText(x, y, text, Font.Font, Font.Color, std::nullopt);
    }
}

void TLumo_progressbar::paintEvent(QPaintEvent*) {
    lumoPaintOffscreen(*this, [this](ILumoCanvas& canvas) { PaintTo(canvas); });
}

void TLumo_progressbar::resizeEvent(QResizeEvent* event) {
    TLumo_Custom_PaintBox::resizeEvent(event);
    repaintBar();
}
