#include "EngineRowImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace EngineRowImages {

namespace {

void drawBadge(QPainter& p, const QColor& fill)
{
    p.setPen(QPen(fill.darker(150), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1.5, 1.5, Size - 3, Size - 3));
}

QImage draw(RowImage which)
{
    QImage img(Size, Size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen mark(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (which) {
    case RowImage::Failed:
        drawBadge(p, QColor(0xD0, 0x20, 0x20));
        p.setPen(mark);
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
        p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
        break;
    case RowImage::Running: {
        drawBadge(p, QColor(0x20, 0x60, 0xD0));
        // A play arrow: the request is on its way.
        QPainterPath arrow;
        arrow.moveTo(6, 4.5);
        arrow.lineTo(11.5, 8);
        arrow.lineTo(6, 11.5);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(arrow);
        break;
    }
    case RowImage::Ok: {
        drawBadge(p, QColor(0x20, 0xA0, 0x30));
        p.setPen(mark);
        QPainterPath tick;
        tick.moveTo(4.5, 8.5);
        tick.lineTo(7, 11);
        tick.lineTo(11.5, 5.5);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        break;
    }
    case RowImage::TimedOut:
        // A clock face with its hands at a quarter past.
        drawBadge(p, QColor(0xE0, 0x90, 0x10));
        p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 8), QPointF(8, 4));
        p.drawLine(QPointF(8, 8), QPointF(11, 8));
        break;
    case RowImage::None:
        break;
    }
    p.end();
    return img;
}

} // namespace

QImage image(RowImage which)
{
    if (which == RowImage::None)
        return QImage();
    return draw(which);
}

QIcon icon(RowImage which)
{
    if (which == RowImage::None)
        return QIcon();
    return QIcon(QPixmap::fromImage(draw(which)));
}

} // namespace EngineRowImages
