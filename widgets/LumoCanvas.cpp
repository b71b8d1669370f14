#include "widgets/LumoCanvas.h"

#include <QFontMetrics>

QColor lumoColor(unsigned bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

void LumoPainterCanvas::FillRect(const QRect& rect, const QColor& color) {
    m_painter.fillRect(rect, color);
}

void LumoPainterCanvas::DrawText(int x, int y, const QString& text, const QFont& font,
                                 const QColor& color, const std::optional<QRect>& clip) {
    m_painter.save();
    if (clip) {
        m_painter.setClipRect(*clip, Qt::IntersectClip);
    }
    m_painter.setFont(font);
    m_painter.setPen(color);
    const QFontMetrics metrics(font);
    m_painter.drawText(QPoint(x, y + metrics.ascent()), text);
    m_painter.restore();
}

void LumoPainterCanvas::StretchDraw(const QRect& target, const QImage& image, const QRect& source) {
    m_painter.drawImage(target, image, source);
}

int LumoPainterCanvas::TextHeight(const QString& text, const QFont& font) {
    return QFontMetrics(font).boundingRect(text.isEmpty() ? QStringLiteral("Wg") : text).height();
}
