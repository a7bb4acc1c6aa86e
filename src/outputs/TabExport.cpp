#include "outputs/TabExport.h"

#include "outputs/NotedStatus.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <algorithm>

QString tabDelimitedText(const QList<LinkResult> &results)
{
    const QChar tab(QLatin1Char('\t'));
    const bool anchors = SettingsStore::instance().readFlag(Keys::chkAnchorText, true)
        && std::any_of(results.cbegin(), results.cend(), [](const LinkResult &r) { return !r.anchor.isEmpty(); });
    QString text = anchors ? QStringLiteral("Main\tRemote\tStatus\tNo.\tURL\tAnchor Text\r\n\r\n")
                           : QStringLiteral("Main\tRemote\tStatus\tNo.\tURL\r\n\r\n");
    text.reserve(text.size() + int(results.size()) * 96);
    for (const LinkResult &r : results) {
        text += r.mainSite;
        text += tab;
        text += r.remoteSite;
        text += tab;
        text += statusWithNotes(r);
        text += tab;
        text += r.number;
        text += tab;
        text += r.url;
        if (anchors) {
            text += tab;
            text += r.anchor;
        }
        text += QLatin1String("\r\n");
    }
    text += QLatin1String("\r\n");
    return text;
}

SaveOutcome saveTabDelimited(const QList<LinkResult> &results, const QString &chosenName,
                             const OverwriteQuestion &askOverwrite)
{
    SaveOutcome out = prepareSaveTarget(chosenName, QStringLiteral(".tab"), askOverwrite);
    if (out.kind != SaveOutcome::Saved)
        return out;
    FileFailure failure;
    if (!replaceTextFile(out.path, tabDelimitedText(results), &failure)) {
        out.kind = SaveOutcome::Failed;
        out.errorMessage = failure.message();
    }
    return out;
}
