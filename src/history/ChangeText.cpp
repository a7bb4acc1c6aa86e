#include "history/ChangeText.h"

namespace ChangeText {

QString kindName(ChangeKind kind)
{
    switch (kind) {
    case ChangeKind::Lost:
        return QStringLiteral("Lost");
    case ChangeKind::New:
        return QStringLiteral("New");
    case ChangeKind::Moved:
        return QStringLiteral("Moved");
    case ChangeKind::NotesChanged:
        return QStringLiteral("Notes changed");
    }
    return QString();
}

QString describe(const SiteRecord &record)
{
    QString text = record.status;
    if (!record.notes.isEmpty())
        text += QStringLiteral(" (") + record.notes + QLatin1Char(')');
    if (record.hasLink())
        text += QStringLiteral(" on ") + record.foundOn;
    if (!record.missing.isEmpty())
        text += QStringLiteral(", ") + record.missing;
    return text;
}

QString before(const SiteChange &change)
{
    return change.checkedBefore ? describe(change.before) : QStringLiteral("Not checked");
}

QString line(const SiteChange &change)
{
    const QChar tab(QLatin1Char('\t'));
    return kindName(change.kind) + tab + change.now.mainSite + tab + change.now.host + tab + before(change) + tab
         + describe(change.now);
}

QString summary(const RunChanges &changes)
{
    const int lost = changes.count(ChangeKind::Lost);
    const int found = changes.count(ChangeKind::New);
    return QStringLiteral("%1 %2 lost and %3 found since the last run")
        .arg(lost)
        .arg(lost == 1 ? QStringLiteral("link") : QStringLiteral("links"))
        .arg(found);
}

} // namespace ChangeText
