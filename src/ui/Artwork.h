#pragma once

#include <QRect>

class QPainter;

// The product artwork, drawn rather than shipped: a banner with two linked
// rings and the product name, used by the splash window and the About box.
namespace Artwork {
void paintBanner(QPainter &painter, const QRect &area, bool withTagline);
}
