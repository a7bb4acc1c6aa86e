#include "history/ChangeText.h"

#include <QStringList>

namespace ChangeText {

QString kindName(ChangeKind kind)
{
    switch (kind) {
    case ChangeKind::Lost:
        return QStringLiteral("Lost");
    case ChangeKind::PossiblyLost:
        return QStringLiteral("Possibly lost");
    case ChangeKind::New:
        return QStringLiteral("New");
    case ChangeKind::Moved:
        return QStringLiteral("Moved");
    case ChangeKind::NotesChanged:
        return QStringLiteral("Notes changed");
    case ChangeKind::AnchorChanged:
        return QStringLiteral("Anchor changed");
    case ChangeKind::NotChecked:
        return QStringLiteral("Not checked");
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

// A change of words shows the words on both sides.
static QString withWords(const QString &text, const SiteRecord &record, ChangeKind kind)
{
    return kind == ChangeKind::AnchorChanged ? text + QStringLiteral(" \"") + record.anchor + QLatin1Char('"') : text;
}

QString before(const SiteChange &change)
{
    return change.checkedBefore ? withWords(describe(change.before), change.before, change.kind)
                                : QStringLiteral("Not checked");
}

QString after(const SiteChange &change)
{
    return withWords(describe(change.now), change.now, change.kind);
}

QString line(const SiteChange &change)
{
    const QChar tab(QLatin1Char('\t'));
    return kindName(change.kind) + tab + change.now.mainSite + tab + change.now.host + tab + before(change) + tab
         + after(change) + tab + change.now.url;
}

QString summary(const RunChanges &changes)
{
    const auto count = [&changes](ChangeKind kind, const char *one, const char *many) {
        const int n = changes.count(kind);
        return n == 0 ? QString() : QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    QStringList parts{
        count(ChangeKind::Lost, "link lost", "links lost"),
        count(ChangeKind::PossiblyLost, "link possibly lost", "links possibly lost"),
        count(ChangeKind::New, "link found", "links found"),
        count(ChangeKind::Moved, "link moved", "links moved"),
        count(ChangeKind::NotesChanged, "link with new notes", "links with new notes"),
        count(ChangeKind::AnchorChanged, "link with new words", "links with new words"),
        count(ChangeKind::NotChecked, "partner not checked", "partners not checked"),
    };
    parts.removeAll(QString());
    return parts.isEmpty() ? QStringLiteral("no changes since the last run") : parts.join(QStringLiteral(", "));
}

} // namespace ChangeText
