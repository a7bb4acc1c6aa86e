#include "outputs/widgets/ResultIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

static QIcon drawIcon(bool found)
{
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 16.0;
        p.setPen(Qt::NoPen);
        p.setBrush(found ? QColor(0, 0, 255) : QColor(255, 0, 0));
        p.drawEllipse(QRectF(1 * s, 1 * s, 14 * s, 14 * s));
        QPen mark(Qt::white, 2.2 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(mark);
        p.setBrush(Qt::NoBrush);
        if (found) {
            QPainterPath tick;
            tick.moveTo(4.5 * s, 8.5 * s);
            tick.lineTo(7 * s, 11 * s);
            tick.lineTo(11.5 * s, 5 * s);
            p.drawPath(tick);
        } else {
            p.drawLine(QPointF(5.5 * s, 5.5 * s), QPointF(10.5 * s, 10.5 * s));
            p.drawLine(QPointF(10.5 * s, 5.5 * s), QPointF(5.5 * s, 10.5 * s));
        }
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon notedResultIcon()
{
    static const QIcon noted = [] {
        QIcon icon;
        for (int size : {16, 32}) {
            QPixmap pm(size, size);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            p.setRenderHint(QPainter::Antialiasing);
            const qreal s = size / 16.0;
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(230, 150, 0));
            p.drawEllipse(QRectF(1 * s, 1 * s, 14 * s, 14 * s));
            p.setPen(QPen(Qt::white, 2.2 * s, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8 * s, 4 * s), QPointF(8 * s, 9 * s));
            p.drawPoint(QPointF(8 * s, 12 * s));
            p.end();
            icon.addPixmap(pm);
        }
        return icon;
    }();
    return noted;
}

QIcon resultIcon(int icon)
{
    static const QIcon notFound = drawIcon(false);
    static const QIcon found = drawIcon(true);
    return icon == 2 ? found : notFound;
}
