#include "ui/Artwork.h"

#include "ui/Identity.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace Artwork {

void paintBanner(QPainter &p, const QRect &area, bool withTagline)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(area.topLeft(), area.bottomRight());
    sky.setColorAt(0.0, QColor(18, 52, 86));
    sky.setColorAt(1.0, QColor(40, 120, 140));
    p.fillRect(area, sky);

    // Two interlocking rings: a link that goes both ways.
    const int r = area.height() / 5;
    const QPoint centre(area.left() + area.height() / 2, area.center().y() - (withTagline ? r / 3 : 0));
    QPen ring(QColor(250, 205, 90), qMax(3, r / 5));
    p.setPen(ring);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre + QPoint(-r / 2, 0), r, r);
    ring.setColor(QColor(235, 240, 245));
    p.setPen(ring);
    p.drawEllipse(centre + QPoint(r / 2, 0), r, r);

    QFont title = p.font();
    title.setPointSizeF(qMax(14.0, area.height() / 6.5));
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    const QRect textArea(centre.x() + r * 2, area.top(), area.right() - centre.x() - r * 2, area.height());
    p.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft, Identity::product());
    if (withTagline) {
        QFont small = p.font();
        small.setPointSizeF(title.pointSizeF() / 3.2);
        small.setBold(false);
        p.setFont(small);
        p.setPen(QColor(210, 225, 235));
        const QRect below = textArea.adjusted(0, int(title.pointSizeF() * 2.6), 0, 0);
        p.drawText(below, Qt::AlignTop | Qt::AlignLeft,
                   QCoreApplication::translate("Artwork", "Reciprocal link checking for webmasters\nVersion %1 - %2")
                       .arg(Identity::versionText(), Identity::company()));
    }
    p.restore();
}

} // namespace Artwork
