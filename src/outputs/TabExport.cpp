#include "outputs/TabExport.h"

#include "outputs/NotedStatus.h"

QString tabDelimitedText(const QList<LinkResult> &results)
{
    const QChar tab(QLatin1Char('\t'));
    QString text = QStringLiteral("Main\tRemote\tStatus\tNo.\tURL\r\n\r\n");
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
