#include "outputs/ResultMarks.h"

void markAsFound(LinkResult &row)
{
    row.status = QStringLiteral("Direct Link");
    row.colour = RowColour::Blue;
    row.icon = 2;
}

void markAsNoneFound(LinkResult &row)
{
    row.status = QStringLiteral("None Found");
    row.colour = RowColour::Red;
    row.icon = 1;
    row.notes.clear();
}
