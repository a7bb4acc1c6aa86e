#include "outputs/NotedStatus.h"

QString statusWithNotes(const LinkResult &row)
{
    if (row.notes.isEmpty())
        return row.status;
    return row.status + QStringLiteral(" (") + row.notes + QLatin1Char(')');
}
