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

int LumoPainterCanvas::TextWidth(const QString& text, const QFont& font) {
    return QFontMetrics(font).horizontalAdvance(text);
}

void LumoPainterCanvas::Line(const QPoint& from, const QPoint& to, const QColor& color, int width) {
    m_painter.save();
    m_painter.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
    // The kit's lines leave their end point out.
    const QPoint step((to.x() > from.x()) - (to.x() < from.x()), (to.y() > from.y()) - (to.y() < from.y()));
    if (to - step != from || width > 1) {
        m_painter.drawLine(from, to - step);
    } else {
        m_painter.drawPoint(from);
    }
    m_painter.restore();
}

void LumoPainterCanvas::FrameRect(const QRect& rect, const QColor& color, int width) {
    for (int inset = 0; inset < width; ++inset) {
        const QRect ring = rect.adjusted(inset, inset, -inset, -inset);
        if (ring.width() <= 0 || ring.height() <= 0) {
            break;
        }
        m_painter.fillRect(QRect(ring.left(), ring.top(), ring.width(), 1), color);
        m_painter.fillRect(QRect(ring.left(), ring.bottom(), ring.width(), 1), color);
        m_painter.fillRect(QRect(ring.left(), ring.top(), 1, ring.height()), color);
        m_painter.fillRect(QRect(ring.right(), ring.top(), 1, ring.height()), color);
    }
}

void LumoPainterCanvas::Ellipse(const QRect& rect, const QColor& fill, const QColor& outline) {
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, true);
    m_painter.setBrush(fill);
    m_painter.setPen(outline);
    m_painter.drawEllipse(rect.adjusted(0, 0, -1, -1));
    m_painter.restore();
}

void LumoPainterCanvas::TransparentDraw(int x, int y, const QImage& image, const QColor& transparent) {
    m_painter.drawImage(QPoint(x, y), lumoWithoutColor(image, transparent));
}

QImage lumoWithoutColor(const QImage& image, const QColor& transparent) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() & 0x00FFFFFF;
    for (int row = 0; row < result.height(); ++row) {
        auto* pixels = reinterpret_cast<QRgb*>(result.scanLine(row));
        for (int column = 0; column < result.width(); ++column) {
            if ((pixels[column] & 0x00FFFFFF) == key) {
                pixels[column] = 0;
            }
        }
    }
    return result;
}

void LumoPainterCanvas::DrawTextInRect(const QRect& rect, const QString& text, const QFont& font,
                                       const QColor& color, int alignment, bool wordWrap) {
    m_painter.save();
    m_painter.setFont(font);
    m_painter.setPen(color);
    m_painter.drawText(rect, alignment | (wordWrap ? Qt::TextWordWrap : 0) | Qt::TextExpandTabs, text);
    m_painter.restore();
}

QImage lumoReplaceColor(const QImage& image, const QColor& key, const QColor& replacement) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb match = key.rgb() & 0x00FFFFFF;
    const QRgb into = replacement.rgb() | 0xFF000000;
    for (int row = 0; row < result.height(); ++row) {
        auto* pixels = reinterpret_cast<QRgb*>(result.scanLine(row));
        for (int column = 0; column < result.width(); ++column) {
            if ((pixels[column] & 0x00FFFFFF) == match) {
                pixels[column] = into;
            }
        }
    }
    return result;
}

void lumoPaintOffscreen(QWidget& widget, const std::function<void(ILumoCanvas&)>& paint) {
    if (widget.width() <= 0 || widget.height() <= 0) {
        return;
    }
    QImage picture(widget.size(), QImage::Format_RGB32);
    picture.fill(Qt::black);
    {
        QPainter painter(&picture);
        LumoPainterCanvas canvas(painter);
        paint(canvas);
    }
    QPainter(&widget).drawImage(0, 0, picture);
}
