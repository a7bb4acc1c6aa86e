#include "outputs/Posting.h"

#include "model/Project.h"
#include "net/WholePageDownload.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

namespace {

// One run at a time in the whole program: the main window and the import
// windows share the results and the log.
bool g_running = false;

struct RunningGuard
{
    RunningGuard() { g_running = true; }
    ~RunningGuard() { g_running = false; }
};

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

PostingMode postingModeFromSettings()
{
    return SettingsStore::instance().readInt(Keys::optScript, 0) == 1 ? PostingMode::PerMainSite
                                                                     : PostingMode::OneUrl;
}

bool postingInProgress()
{
    return g_running;
}

bool postingStatusWord(const QString &status, QString *word)
{
    if (containsNoCase(status, QStringLiteral("direct"))) {
        *word = QStringLiteral("True");
        return true;
    }
    if (containsNoCase(status, QStringLiteral("missing")))
        return false;
    *word = QStringLiteral("False");
    return true;
}

QString replaceUrlVariables(const QString &templateUrl, const QString &mainSite, const QString &foundOn,
                            const QString &linkingSite, const QString &status, const QString &notes,
                            const QString &anchor)
{
    // Each replacement looks only at the template's own text: the values put
    // in hold no "$" (encoded values escape it, the examples have none).
    QString url = templateUrl;
    url.replace(QLatin1String("$MainSite"), mainSite, Qt::CaseInsensitive);
    url.replace(QLatin1String("$FoundOn"), foundOn, Qt::CaseInsensitive);
    url.replace(QLatin1String("$LinkingSite"), linkingSite, Qt::CaseInsensitive);
    url.replace(QLatin1String("$Status"), status, Qt::CaseInsensitive);
    url.replace(QLatin1String("$Notes"), notes, Qt::CaseInsensitive);
    url.replace(QLatin1String("$Anchor"), anchor, Qt::CaseInsensitive);
    return url;
}

QString postingLogEntry(const QString &fetchedUrl, const QString &reply)
{
    QString entry = kCrLf + QLatin1String("URL: ") + fetchedUrl + kCrLf;
    if (!reply.isEmpty())
        entry += kCrLf + QLatin1String("Returned: ") + reply + kCrLf;
    return entry;
}

PostingOutcome postResults(const Project &project, const PostingRun &run)
{
    if (g_running)
        return PostingOutcome::AlreadyRunning;
    const auto status = [&](const QString &text) {
        if (run.showStatus)
            run.showStatus(text);
    };

    const QList<LinkResult> rows = project.results();
    if (rows.isEmpty()) {
        status(kNoResultsToPost);
        return PostingOutcome::NoResults;
    }

    RunningGuard guard;
    for (int i = 0; i < rows.size(); ++i) {
        const LinkResult &row = rows.at(i);
        QString templateUrl;
        if (run.mode == PostingMode::OneUrl) {
            templateUrl = run.oneUrlTemplate;
        } else {
            templateUrl = project.findScriptUrl(row.mainSite);
            if (isBlankEntry(templateUrl))
                continue;
        }

        QString remote = row.remoteSite;
        QString foundOn = row.url;
        QString mainSite = row.mainSite;
        const QString encodedRemote = urlEncode(remote);
        const QString encodedFoundOn = urlEncode(foundOn);
        const QString encodedMain = urlEncode(mainSite);

        QString word;
        if (!postingStatusWord(row.status, &word))
            continue;

        QString notes = row.notes;
        const QString encodedNotes = urlEncode(notes);
        QString anchor = row.anchor;
        const QString encodedAnchor = urlEncode(anchor);
        QString url = replaceUrlVariables(templateUrl, encodedMain, encodedFoundOn, encodedRemote, word, encodedNotes,
                                          encodedAnchor);
        status(QStringLiteral("Sending Site ") + QString::number(i + 1) + QLatin1String(": ") + encodedRemote);
        const QString reply = downloadWholePage(url);
        if (run.appendLog)
            run.appendLog(postingLogEntry(url, reply));
    }
    return PostingOutcome::Posted;
}
