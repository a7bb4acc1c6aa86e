#pragma once

#include "model/ProjectTypes.h"

#include <QBrush>
#include <QTreeWidgetItem>

// Row text colours of the site and results lists: red, green and blue as the
// scan sets them, the list's own colour by default.
namespace RowColours {
inline QBrush brush(RowColour colour)
{
    switch (colour) {
    case RowColour::Red: return QBrush(QColor(255, 0, 0));
    case RowColour::Green: return QBrush(QColor(0, 128, 0));
    case RowColour::Blue: return QBrush(QColor(0, 0, 255));
    case RowColour::Default: break;
    }
    return QBrush();
}

inline void paint(QTreeWidgetItem *item, RowColour colour, int columns)
{
    // The default clears the role, so the list's own text colour shows.
    const QVariant v = colour == RowColour::Default ? QVariant() : QVariant(brush(colour));
    for (int c = 0; c < columns; ++c)
        item->setData(c, Qt::ForegroundRole, v);
}
} // namespace RowColours
