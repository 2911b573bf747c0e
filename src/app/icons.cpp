#include "app/icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace farlight::Icons {

namespace {

// Drawn at several sizes so toolbars and high-DPI screens get crisp images without image files.
template <typename Paint>
QIcon drawn(Paint paint)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 32.0, size / 32.0);
        paint(p);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon Search()
{
    return drawn([](QPainter &p) {
        p.setPen(QPen(QColor(0x2a, 0x6f, 0xb8), 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2, 2, 14, 14), 30 * 16, 120 * 16);
        p.drawArc(QRectF(5, 5, 8, 8), 30 * 16, 120 * 16);
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 3.0));
        p.setBrush(QColor(0xdd, 0xee, 0xff));
        p.drawEllipse(QRectF(10, 10, 13, 13));
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 4.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(21.5, 21.5), QPointF(29, 29));
    });
}

QIcon Delete()
{
    return drawn([](QPainter &p) {
        p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 5.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7, 7), QPointF(25, 25));
        p.drawLine(QPointF(25, 7), QPointF(7, 25));
    });
}

QIcon Device()
{
    return drawn([](QPainter &p) {
        p.setPen(QPen(QColor(0x40, 0x40, 0x40), 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(22, 18), QPointF(22, 6));
        p.setPen(QPen(QColor(0x2a, 0x6f, 0xb8), 1.8));
        p.drawArc(QRectF(16, 1, 12, 10), 20 * 16, 140 * 16);
        p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
        p.setBrush(QColor(0xe8, 0xe8, 0xe8));
        p.drawRoundedRect(QRectF(3, 18, 26, 10), 2.5, 2.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2e, 0xb8, 0x4e));
        for (int i = 0; i < 3; ++i)
            p.drawEllipse(QRectF(7 + 5 * i, 21.5, 3, 3));
    });
}

} // namespace farlight::Icons
