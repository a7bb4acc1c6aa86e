#pragma once

#include <QIcon>

// The two row images of the results list: 1 no reciprocal link (a red disc
// with a cross), 2 link found (a blue disc with a tick). Drawn once.
QIcon resultIcon(int icon);
// The image of a row with link notes: an amber disc with an exclamation mark.
QIcon notedResultIcon();
