#include "outputs/NotedStatus.h"

QString statusWithNotes(const LinkResult &row)
{
    if (row.notes.isEmpty())
        return row.status;
    return row.status + QStringLiteral(" (") + row.notes + QLatin1Char(')');
}

bool passesNoValue(const LinkResult &row)
{
    static const QString drawn = QStringLiteral("JavaScript");
    QStringView notes(row.notes);
    if (notes.startsWith(drawn))
        notes = notes.mid(drawn.size());
    if (notes.startsWith(QLatin1String(", ")))
        notes = notes.mid(2);
    return !notes.isEmpty();
}
