#include "ui/Artwork.h"

#include "ui/Identity.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

namespace Artwork {

QIcon applicationIcon()
{
    QIcon icon;
    QDirIterator sizes(QStringLiteral(":/icons"), {QStringLiteral("reciplex-*.png")});
    while (sizes.hasNext())
        icon.addFile(sizes.next());
    return icon;
}

void paintBanner(QPainter &p, const QRect &area, bool withTagline)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(area.topLeft(), area.bottomRight());
    sky.setColorAt(0.0, QColor(18, 52, 86));
    sky.setColorAt(1.0, QColor(40, 120, 140));
    p.fillRect(area, sky);

    // The application icon, and beside it the name with the tagline under it,
    // the two as one block centred on the icon.
    const int side = area.height() * 11 / 20;
    const QRect iconArea(area.left() + area.height() / 8, area.center().y() - side / 2, side, side);
    applicationIcon().paint(&p, iconArea);

    const int textLeft = iconArea.right() + area.height() / 8;
    const int textWidth = area.right() - area.height() / 12 - textLeft;
    QFont title = p.font();
    title.setBold(true);
    title.setPixelSize(qMax(12, area.height() / 5));
    while (title.pixelSize() > 12 && QFontMetrics(title).horizontalAdvance(Identity::product()) > textWidth)
        title.setPixelSize(title.pixelSize() - 1);
    QFont small = p.font();
    small.setPixelSize(qMax(9, title.pixelSize() * 3 / 10));
    const QString tagline =
        QCoreApplication::translate("Artwork", "Reciprocal link checking for webmasters\nVersion %1 - %2")
            .arg(Identity::versionText(), Identity::company());
    const int titleHeight = QFontMetrics(title).height();
    const QRect taglineSize = QFontMetrics(small).boundingRect(QRect(0, 0, textWidth, area.height()),
                                                               Qt::TextWordWrap, tagline);
    const int blockHeight = titleHeight + (withTagline ? taglineSize.height() : 0);
    const int top = iconArea.center().y() - blockHeight / 2;

    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(textLeft, top, textWidth, titleHeight), Qt::AlignVCenter | Qt::AlignLeft, Identity::product());
    if (withTagline) {
        p.setFont(small);
        p.setPen(QColor(210, 225, 235));
        p.drawText(QRect(textLeft, top + titleHeight, textWidth, taglineSize.height()),
                   Qt::AlignTop | Qt::AlignLeft | Qt::TextWordWrap, tagline);
    }
    p.restore();
}

} // namespace Artwork
