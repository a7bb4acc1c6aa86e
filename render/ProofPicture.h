#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

// The proof picture: what the page showed around its link, the link's box
// outlined, under a band that names the page and the time it was taken.
namespace ProofPicture {

// boxes in the shot's coordinates (CSS pixels of the viewport).
QImage compose(const QImage &shot, const QList<QRectF> &boxes, const QString &url, const QDateTime &takenUtc);
// Written whole or not at all: a picture already at the path stays until the
// new one is complete. Folders are created as needed.
bool save(const QImage &picture, const QString &path, QString *problem);

} // namespace ProofPicture
