#include "outputs/DialogFilter.h"

#include <QRegularExpression>
#include <QStringList>

QString dialogFilter(const QString &descriptionAndPatterns)
{
    const int bar = int(descriptionAndPatterns.indexOf(QLatin1Char('|')));
    if (bar < 0)
        return descriptionAndPatterns;
    QString description = descriptionAndPatterns.left(bar).trimmed();
    const QStringList patterns = descriptionAndPatterns.mid(bar + 1).split(
        QRegularExpression(QStringLiteral("[,; ]+")), Qt::SkipEmptyParts);
    if (description.endsWith(QLatin1Char(')'))) {
        const int open = int(description.lastIndexOf(QLatin1Char('(')));
        if (open >= 0)
            description = description.left(open).trimmed();
    }
    return description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}
