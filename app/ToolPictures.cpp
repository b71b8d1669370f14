#include "app/ToolPictures.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

QColor faceOf(ToolLook look) {
    switch (look) {
        case ToolLook::Up: return QColor(0x2e, 0x7d, 0x6a);     // teal: ready
        case ToolLook::Down: return QColor(0xa8, 0xa8, 0xa8);   // grey: not connected
        case ToolLook::Hover: return QColor(0x1e, 0x88, 0xe5);  // blue: under the pointer
    }
    return Qt::gray;
}

void drawArrow(QPainter& painter, QPointF from, QPointF to) {
    painter.drawLine(from, to);
    const QPointF direction = (to - from) / std::max(1.0, std::hypot(to.x() - from.x(), to.y() - from.y()));
    const QPointF normal(-direction.y(), direction.x());
    QPolygonF head;
    head << to << to - direction * 7 + normal * 6 << to - direction * 7 - normal * 6;
    painter.drawPolygon(head);
}

// The symbol in a 30 x 30 box centred at the origin's box.
void drawSymbol(QPainter& painter, ToolSymbol symbol) {
    switch (symbol) {
        case ToolSymbol::Connect: {
            // Two plug halves meeting.
            painter.drawRect(QRectF(3, 11, 9, 8));
            painter.drawRect(QRectF(18, 11, 9, 8));
            painter.drawLine(QPointF(12, 13), QPointF(15, 13));
            painter.drawLine(QPointF(12, 17), QPointF(15, 17));
            painter.drawLine(QPointF(0, 15), QPointF(3, 15));
            painter.drawLine(QPointF(27, 15), QPointF(30, 15));
            break;
        }
        case ToolSymbol::About:
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QRectF(2, 2, 26, 26));
            painter.drawLine(QPointF(15, 13), QPointF(15, 23));
            painter.drawPoint(QPointF(15, 8));
            break;
        case ToolSymbol::Upload:
            drawArrow(painter, QPointF(15, 28), QPointF(15, 3));
            break;
        case ToolSymbol::Download:
            drawArrow(painter, QPointF(15, 2), QPointF(15, 27));
            break;
        case ToolSymbol::Refresh: {
            painter.setBrush(Qt::NoBrush);
            painter.drawArc(QRectF(4, 4, 22, 22), 30 * 16, 280 * 16);
            painter.setBrush(painter.pen().color());
            QPolygonF head;
            head << QPointF(26, 4) << QPointF(26, 13) << QPointF(18, 9);
            painter.drawPolygon(head);
            break;
        }
        case ToolSymbol::Home: {
            QPolygonF roof;
            roof << QPointF(2, 15) << QPointF(15, 3) << QPointF(28, 15);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(roof);
            painter.drawRect(QRectF(7, 15, 16, 12));
            painter.drawRect(QRectF(13, 20, 5, 7));
            break;
        }
        case ToolSymbol::Back:
            drawArrow(painter, QPointF(27, 15), QPointF(3, 15));
            break;
        case ToolSymbol::CreateFolder:
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(2, 8, 22, 16));
            painter.drawLine(QPointF(2, 8), QPointF(8, 4));
            painter.drawLine(QPointF(8, 4), QPointF(13, 8));
            painter.drawLine(QPointF(24, 2), QPointF(24, 12));
            painter.drawLine(QPointF(19, 7), QPointF(29, 7));
            break;
        case ToolSymbol::View:
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(QRectF(1, 8, 28, 14));
            painter.setBrush(painter.pen().color());
            painter.drawEllipse(QRectF(11, 11, 8, 8));
            break;
        case ToolSymbol::Rename:
            painter.drawLine(QPointF(5, 25), QPointF(23, 7));
            painter.drawLine(QPointF(9, 27), QPointF(27, 9));
            painter.drawLine(QPointF(5, 25), QPointF(9, 27));
            painter.drawLine(QPointF(3, 29), QPointF(29, 29));
            break;
        case ToolSymbol::Delete:
            painter.drawLine(QPointF(5, 5), QPointF(25, 25));
            painter.drawLine(QPointF(25, 5), QPointF(5, 25));
            break;
    }
}

}  // namespace

QImage ToolPicture(ToolSymbol symbol, ToolLook look, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor face = faceOf(look);
    painter.setPen(QPen(face.darker(130), 1));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(1.5, 1.5, size.width() - 3, size.height() - 3), 7, 7);
    // The symbol, white, centred in a 30 x 30 box.
    painter.translate((size.width() - 30) / 2.0, (size.height() - 30) / 2.0);
    painter.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::white);
    drawSymbol(painter, symbol);
    return image;
}

void DressToolButton(TLumo_statebmp& button, ToolSymbol symbol) {
    const QSize size = button.size();
    button.SetPictureUp(ToolPicture(symbol, ToolLook::Up, size));
    button.SetPictureDown(ToolPicture(symbol, ToolLook::Down, size));
    button.SetPictureNone(ToolPicture(symbol, ToolLook::Hover, size));
}

QImage ApplicationIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);
    painter.setPen(QPen(QColor(0x1f, 0x5a, 0x4c), 8));
    painter.setBrush(QColor(0x2e, 0x7d, 0x6a));
    painter.drawRoundedRect(QRectF(12, 12, 232, 232), 44, 44);
    QPen white(Qt::white, 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(white);
    painter.setBrush(Qt::NoBrush);
    QPainterPath wave(QPointF(40, 196));
    wave.quadTo(QPointF(84, 172), QPointF(128, 196));
    wave.quadTo(QPointF(172, 220), QPointF(216, 196));
    painter.drawPath(wave);
    white.setWidth(14);
    painter.setPen(white);
    painter.drawLine(QPointF(92, 160), QPointF(92, 64));
    painter.drawPolyline(QPolygonF({QPointF(60, 96), QPointF(92, 60), QPointF(124, 96)}));
    painter.drawLine(QPointF(164, 60), QPointF(164, 156));
    painter.drawPolyline(QPolygonF({QPointF(132, 124), QPointF(164, 160), QPointF(196, 124)}));
    return image;
}
