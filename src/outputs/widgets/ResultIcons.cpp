#include "outputs/widgets/ResultIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

// A round badge in a colour with a white mark, at 16 and 32 pixels; the mark
// is drawn at the 16-pixel scale given.
static QIcon badge(const QColor &fill, const std::function<void(QPainter &, qreal)> &mark)
{
    QIcon icon;
    for (int size : {16, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size / 16.0;
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawEllipse(QRectF(1 * s, 1 * s, 14 * s, 14 * s));
        p.setBrush(Qt::NoBrush);
        mark(p, s);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

static QIcon drawIcon(bool found)
{
    return badge(found ? QColor(0, 0, 255) : QColor(255, 0, 0), [found](QPainter &p, qreal s) {
        p.setPen(QPen(Qt::white, 2.2 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
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
    });
}

QIcon notedResultIcon()
{
    static const QIcon noted = badge(QColor(230, 150, 0), [](QPainter &p, qreal s) {
        p.setPen(QPen(Qt::white, 2.2 * s, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8 * s, 4 * s), QPointF(8 * s, 9 * s));
        p.drawPoint(QPointF(8 * s, 12 * s));
    });
    return noted;
}

QIcon resultIcon(int icon)
{
    static const QIcon notFound = drawIcon(false);
    static const QIcon found = drawIcon(true);
    return icon == 2 ? found : notFound;
}
