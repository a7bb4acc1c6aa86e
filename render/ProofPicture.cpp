#include "ProofPicture.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QSaveFile>

namespace ProofPicture {

QImage compose(const QImage &shot, const QList<QRectF> &boxes, const QString &url, const QDateTime &takenUtc)
{
    QFont font;
    font.setPixelSize(14);
    const QFontMetrics metrics(font);
    const int band = metrics.height() + 12;
    QImage picture(shot.width(), shot.height() + band, QImage::Format_RGB32);
    picture.fill(QColor(0xf2, 0xf2, 0xf2));

    QPainter p(&picture);
    p.setFont(font);
    p.setPen(QColor(0x20, 0x20, 0x20));
    const QString stamp = takenUtc.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
    const int stampWidth = metrics.horizontalAdvance(stamp);
    const QRect textArea(8, 0, picture.width() - 16, band);
    p.drawText(textArea, Qt::AlignVCenter | Qt::AlignRight, stamp);
    p.drawText(textArea.adjusted(0, 0, -stampWidth - 16, 0), Qt::AlignVCenter | Qt::AlignLeft,
               metrics.elidedText(url, Qt::ElideMiddle, textArea.width() - stampWidth - 16));
    p.setPen(QColor(0xc0, 0xc0, 0xc0));
    p.drawLine(0, band - 1, picture.width(), band - 1);

    p.drawImage(0, band, shot);
    p.setRenderHint(QPainter::Antialiasing);
    p.setClipRect(QRect(0, band, shot.width(), shot.height()));
    QPen outline(QColor(0xe0, 0x10, 0x10));
    outline.setWidth(3);
    p.setPen(outline);
    p.setBrush(QColor(0xe0, 0x10, 0x10, 0x20));
    for (const QRectF &box : boxes)
        p.drawRoundedRect(box.translated(0, band).adjusted(-4, -4, 4, 4), 3, 3);
    p.end();
    return picture;
}

bool save(const QImage &picture, const QString &path, QString *problem)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        *problem = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit()) {
        *problem = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

} // namespace ProofPicture
