#include "ScanRun.h"

#include "ErrorsFile.h"
#include "HeadlessFrontEnd.h"
#include "RunAlerts.h"
#include "ScanJournal.h"
#include "ScanJson.h"
#include "history/ChangeText.h"
#include "history/ProjectHistory.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "outputs/LinkPageBuilder.h"
#include "outputs/Posting.h"
#include "outputs/Report.h"
#include "outputs/TabExport.h"
#include "scan/ScanRun.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

static void printErr(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// "Generate Links" for all Main Sites with the stored flags, then "Save Webpage".
static bool writeLinksPage(Project &project, const QString &path)
{
    if (!generateLinks(project, LinkPageOptions::fromSettings()))
        printErr(QStringLiteral("reciplex-scan: ") + kNoResultsForLinks);
    FileFailure failure;
    if (!saveLinkPage(path, linkPageText(project), &failure)) {
        printErr(QStringLiteral("reciplex-scan: cannot write %1: %2").arg(path, failure.description));
        return false;
    }
    return true;
}

// The report of the finished scan, then the two saves as their buttons do;
// existing files are overwritten without a question.
static bool writeReportAndTab(const Project &project, qint64 pagesScanned, const ScanRunOptions &o,
                              const ReportChanges *changes)
{
    bool ok = true;
    if (!o.reportPath.isEmpty()) {
        FileFailure failure;
        if (buildReport(project, pagesScanned, &failure, changes).isEmpty()) {
            printErr(QStringLiteral("reciplex-scan: cannot write the report: %1").arg(failure.description));
            ok = false;
        } else {
            const ReportSaveOutcome saved = saveReportAs(o.reportPath, {});
            if (saved.kind != SaveOutcome::Saved || !saved.copied) {
                printErr(QStringLiteral("reciplex-scan: cannot write %1 %2").arg(o.reportPath, saved.errorMessage));
                ok = false;
            }
        }
    }
    if (!o.tabPath.isEmpty()) {
        const SaveOutcome saved = saveTabDelimited(project.results(), o.tabPath, {});
        if (saved.kind != SaveOutcome::Saved) {
            printErr(QStringLiteral("reciplex-scan: cannot write %1 %2").arg(o.tabPath, saved.errorMessage));
            ok = false;
        }
    }
    return ok;
}

// postResults in the stored posting mode with the project's script URL or
// script targets; the log goes to --post-log or to stdout.
static bool postAndLog(const Project &project, const ScanRunOptions &o, bool showProgress)
{
    QString log;
    PostingRun run;
    run.mode = postingModeFromSettings();
    run.oneUrlTemplate = project.scriptUrl();
    run.appendLog = [&log](const QString &text) { log += text; };
    if (showProgress)
        run.showStatus = [](const QString &text) { printErr(text); };
    if (postResults(project, run) == PostingOutcome::NoResults)
        printErr(QStringLiteral("reciplex-scan: ") + kNoResultsToPost);
    const QByteArray bytes = log.toLatin1();
    if (o.postLogPath.isEmpty()) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
        return true;
    }
    QFile file(o.postLogPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        printErr(QStringLiteral("reciplex-scan: cannot write %1: %2").arg(o.postLogPath, file.errorString()));
        return false;
    }
    return true;
}

// The history to write: --history, else the database beside the project
// when there is one; "" for none.
static QString historyPathFor(const ScanRunOptions &o)
{
    if (!o.historyPath.isEmpty())
        return o.historyPath;
    const QString beside = ProjectHistory::pathFor(o.projectPath);
    return QFileInfo::exists(beside) ? beside : QString();
}

// Stores the run; with --changes prints its changes on stdout, one a line.
static bool storeHistory(ProjectHistory &history, const ScanJournal &journal, const ScanRunOptions &o,
                         RunChanges *changes)
{
    for (const SiteConclusion &site : journal.sites())
        history.siteConcluded(site);
    const ProjectHistory::Outcome outcome = history.scanFinished();
    if (!outcome.stored) {
        printErr(QStringLiteral("reciplex-scan: cannot write the history %1: %2").arg(history.path(), outcome.error));
        return false;
    }
    *changes = outcome.changes;
    if (o.changes) {
        QByteArray lines;
        for (const SiteChange &c : changes->changes)
            lines += ChangeText::line(c).toLocal8Bit() + '\n';
        std::fwrite(lines.constData(), 1, size_t(lines.size()), stdout);
        std::fflush(stdout);
    }
    return true;
}

// How many Linking Sites the scan type will visit.
static int sitesToScan(const Project &project, const ScanRunOptions &o)
{
    if (o.scanType == 2)
        return 1;
    if (o.scanType == 1)
        return o.mainSite >= 0 && o.mainSite < project.mainSiteCount() ? int(project.linkingSites(o.mainSite).size()) : 0;
    int count = 0;
    for (const MainSite &main : project.mainSites())
        count += int(main.linkingSites.size());
    return count;
}

int runScan(const ScanRunOptions &o)
{
    SettingsStore &store = SettingsStore::instance();
    for (const QString &kv : o.settingOverrides) {
        const int eq = int(kv.indexOf(QLatin1Char('=')));
        store.setOverride(kv.left(eq), kv.mid(eq + 1));
    }
    if (!o.programFolder.isEmpty())
        ProgramFolder::setPath(o.programFolder);

    // Read as Open reads, but without remembering the file under LastProject:
    // the window's next start must not jump to a scheduled project.
    Project project;
    const ProjectFile::ReadResult read = ProjectFile::read(project, o.projectPath);
    if (!read.opened) {
        printErr(QStringLiteral("reciplex-scan: cannot open the project file %1").arg(o.projectPath));
        return ExitCannotStart;
    }
    if (!read.complete)
        printErr(QStringLiteral("reciplex-scan: warning: reading stopped at line %1 (%2); scanning what was read")
                     .arg(read.stopLineNumber)
                     .arg(read.stopLine));

    ProjectHistory history;
    history.setPath(historyPathFor(o));
    if (o.changes && !history.hasPath()) {
        printErr(QStringLiteral("reciplex-scan: --changes needs a history: %1 does not exist; "
                                "give --history FILE to start one")
                     .arg(ProjectHistory::pathFor(o.projectPath)));
        return ExitCannotStart;
    }

    const bool showProgress = !o.quiet && HeadlessFrontEnd::stderrIsTerminal();
    ScanJournal journal;
    HeadlessFrontEnd frontEnd(showProgress, o.mainSite, o.linkingSite, journal);
    frontEnd.setSitesToScan(sitesToScan(project, o));
    ScanRun engine(project, frontEnd);
    engine.setProofFolder(o.proofFolder);
    engine.setPort(quint16(o.port));
    engine.setTlsPort(quint16(o.tlsPort));
    engine.setScanType(o.scanType);
    engine.setSkipType(store.readInt(Keys::SkipType, 0, 0, 1));
    engine.setPageLimit(PageLimits::limitForIndex(store.readInt(Keys::cmbAdvance, PageLimits::defaultIndex)));
    frontEnd.setOnStopped([] { QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit); });

    const QDateTime started = QDateTime::currentDateTime();
    history.scanStarted(o.scanType);
    engine.startScan();
    if (!engine.isScanning() && !frontEnd.stopped()) {
        for (const QString &m : frontEnd.messages())
            printErr(QStringLiteral("reciplex-scan: ") + m);
        return ExitCannotStart;
    }
    if (!frontEnd.stopped())
        QCoreApplication::exec();
    engine.shutdown();
    const QDateTime finished = QDateTime::currentDateTime();

    bool written = true;
    QString error;
    // The history first: the report shows the changes since the previous run.
    RunChanges changes;
    if (history.hasPath() && !storeHistory(history, journal, o, &changes))
        written = false;
    const std::optional<ReportChanges> reportChanges =
        changes.hasPrevious() ? std::optional<ReportChanges>(reportChangesOf(changes)) : std::nullopt;
    // Alerts before the outputs, so what could not be delivered is in the errors they write.
    if (!o.noAlerts)
        sendRunAlerts(project, o.projectPath, started, finished, changes, engine.statistics().pagesScanned,
                      reportChanges ? &*reportChanges : nullptr);
    // The links page first: it renews the project's generated links, which
    // --output then saves as the window's Save would.
    if (!o.linksPagePath.isEmpty() && !writeLinksPage(project, o.linksPagePath))
        written = false;
    if (!o.reportPath.isEmpty() || !o.tabPath.isEmpty()) {
        if (!writeReportAndTab(project, engine.statistics().pagesScanned, o, reportChanges ? &*reportChanges : nullptr))
            written = false;
    }
    if (o.post && !postAndLog(project, o, showProgress))
        written = false;
    if (!o.errorsPath.isEmpty() && !writeErrorsFile(project.errors(), o.errorsPath, &error)) {
        printErr(QStringLiteral("reciplex-scan: cannot write %1: %2").arg(o.errorsPath, error));
        written = false;
    }
    if (!o.outputPath.isEmpty() && !ProjectFile::write(project, o.outputPath, &error)) {
        printErr(QStringLiteral("reciplex-scan: cannot write %1: %2").arg(o.outputPath, error));
        written = false;
    }
    // A link lost since the previous run outranks a site without its link; a
    // link possibly lost or a partner not checked is no loss yet.
    const int scanStatus = changes.count(ChangeKind::Lost) > 0 ? ExitLinkLost
        : frontEnd.someSiteWithoutLink()                       ? ExitSomeMissing
                                                               : ExitAllLinked;
    if (!o.jsonPath.isEmpty()) {
        ScanJsonInput json;
        json.projectPath = o.projectPath;
        json.started = started;
        json.finished = finished;
        json.settings = scanSettingsInEffect(o, engine);
        json.journal = &journal;
        json.project = &project;
        json.engine = &engine;
        json.exitStatus = written ? scanStatus : ExitCannotStart;
        json.historyPath = history.path();
        json.changes = &changes;
        if (!writeScanJson(scanJson(json), o.jsonPath, &error)) {
            printErr(QStringLiteral("reciplex-scan: cannot write %1: %2").arg(o.jsonPath, error));
            written = false;
        }
    }
    store.sync();
    if (!written)
        return ExitCannotStart;
    return scanStatus;
}
