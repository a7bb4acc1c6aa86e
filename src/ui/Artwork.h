#pragma once

#include <QIcon>
#include <QRect>

class QPainter;

// The product artwork: the application icon (rendered from
// resources/icons/reciplex.svg by the build) and a banner with the icon and
// the product name, used by the splash window and the About box.
namespace Artwork {
QIcon applicationIcon();
void paintBanner(QPainter &painter, const QRect &area, bool withTagline);
}
