#include "widgets/LumoGradient.h"

#include <QCursor>
#include <QPainter>

#include <algorithm>

#include "widgets/LumoMath.h"

namespace {

int channel(unsigned color, int shift) {
    return static_cast<int>((color >> shift) & 0xFF);
}

}  // namespace

unsigned GradientBandColor(unsigned startColor, unsigned endColor, int band, int colors) {
    unsigned result = 0;
    for (int shift : {0, 8, 16}) {
        const int start = channel(startColor, shift);
        const int value = start + MulDiv(band, channel(endColor, shift) - start, colors);
        result |= static_cast<unsigned>(value & 0xFF) << shift;
    }
    return result;
}

void GradientFill(ILumoCanvas& canvas, const QRect& rect, unsigned startColor, TGradientStyle style, int colors,
                  unsigned endColor) {
    if (colors <= 0) {
        return;
    }
    // A band count in the millions would stall every repaint for bands nobody can see:
    // 8-bit channels give at most 256 steps per channel, so more than this changes
    // nothing on screen.
    colors = std::min(colors, kMaxGradientBands);
    const int left = rect.left();
    const int top = rect.top();
    const int width = rect.width();
    // One row more than the height, as the kit always drew it.
    const int height = rect.height() + 1;
    for (int band = 0; band <= colors; ++band) {
        const QColor color = lumoColor(GradientBandColor(startColor, endColor, band, colors));
        // Which slot of the rectangle the band takes: from the start side for the
        // "to" directions, from the far side for the reversed ones.
        const bool reversed = style == gsRightToLeft || style == gsBottomToTop;
        const int slot = reversed ? colors - band : band;
        if (style == gsLeftToRight || style == gsRightToLeft) {
            const int from = left + MulDiv(slot - 1, width, colors);
            const int to = left + MulDiv(slot, width, colors);
            canvas.FillRect(QRect(from, top, to - from, height), color);
        } else {
            const int from = top + MulDiv(slot - 1, height, colors);
            const int to = top + MulDiv(slot, height, colors);
            canvas.FillRect(QRect(left, from, width, to - from), color);
        }
    }
}

TLumo_gradient::TLumo_gradient(QWidget* parent) : TLumo_Custom_Panel(parent) {
    m_autoHideTimer.setInterval(100);
    QObject::connect(&m_autoHideTimer, &QTimer::timeout, this, [this] {
        if (AutoHide) {
            CheckAutoHide(QCursor::pos());
        }
    });
    m_autoHideTimer.start();
}

void TLumo_gradient::repaintPanel() {
    ++m_repaints;
    update();
}

void TLumo_gradient::SetStartColor(unsigned color) {
    if (color != m_startColor) {
        m_startColor = color;
        repaintPanel();
    }
}

void TLumo_gradient::SetEndColor(unsigned color) {
    if (color != m_endColor) {
        m_endColor = color;
        repaintPanel();
    }
}

void TLumo_gradient::SetNumberofColors(int colors) {
    if (colors != m_colors) {
        m_colors = colors;
        repaintPanel();
    }
}

void TLumo_gradient::SetGradientStyle(TGradientStyle style) {
    if (style != m_style) {
        m_style = style;
        repaintPanel();
    }
}

void TLumo_gradient::Loaded() {
    if (AutoHide && !isHidden()) {
        hide();
    }
}

void TLumo_gradient::CheckAutoHide(const QPoint& globalPointer) {
    if (!AutoHide) {
        return;
    }
    const QPoint corner = parentWidget() != nullptr ? parentWidget()->mapToGlobal(pos()) : pos();
    const bool inside = corner.x() < globalPointer.x() && globalPointer.x() < corner.x() + width() &&
                        corner.y() < globalPointer.y() && globalPointer.y() < corner.y() + height();
    if (inside && isHidden()) {
        show();
    } else if (!inside && !isHidden()) {
        hide();
    }
}

void TLumo_gradient::PaintTo(ILumoCanvas& canvas) const {
    GradientFill(canvas, QRect(0, 0, width(), height()), m_startColor, m_style, m_colors, m_endColor);
}

void TLumo_gradient::paintEvent(QPaintEvent*) {
    lumoPaintOffscreen(*this, [this](ILumoCanvas& canvas) { PaintTo(canvas); });
}
