#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of one headless scan.
struct ScanRunOptions
{
    QString projectPath;
    int scanType = 0;
    int mainSite = -1;       // 0-based; -1 none selected
    int linkingSite = -1;    // 0-based; -1 none selected
    QStringList settingOverrides; // KEY=VALUE
    QString programFolder;
    int port = 80;
    int tlsPort = 443;       // --tls-port: where https pages are fetched (local test servers)
    QString errorsPath;
    QString outputPath;
    QString reportPath;     // --report: as "Save Report As" would write it
    QString tabPath;        // --tab: as "Save Tab Delimited" would write it
    QString linksPagePath;  // --links-page: generateLinks for all Main Sites, then "Save Webpage"
    bool post = false;      // --post: postResults in the stored posting mode
    QString postLogPath;    // --post-log: the posting log (stdout otherwise)
    QString jsonPath;       // --json: the finished scan as one JSON document; "-" is stdout
    QString historyPath;    // --history: the history database (else the one beside the project, if any)
    bool changes = false;   // --changes: print the changes since the previous run
    // --proof: a picture of every link row's page, DIR/MAINHOST/LINKINGHOST.png;
    // an absolute path. The option also sets ProofShots=1 for the run.
    QString proofFolder;
    bool quiet = false;
    bool noAlerts = false;  // --no-alerts: no webhook, e-mail or notification after this run
    QString schedule;       // --schedule: when the scheduled scan runs
    bool unschedule = false;     // --unschedule
    bool listSchedules = false;  // --schedules
    bool historyReset = false;   // --history-reset: move a damaged history aside
};

// Exit statuses of reciplex-scan.
enum ScanExit { ExitAllLinked = 0, ExitSomeMissing = 1, ExitCannotStart = 2, ExitLinkLost = 3 };

// What the command line asks for: a scan, the help or version text, or
// nothing because it could not be understood.
struct ScanCommandLine
{
    enum class Action { Scan, Help, Version, Error, Schedule, Unschedule, ListSchedules, HistoryReset };
    Action action = Action::Error;
    ScanRunOptions options;
    QString text; // the help text, the version line, or what was wrong
};

// Parses the arguments (argv[0] included).
ScanCommandLine parseScanCommandLine(const QStringList &arguments);
// The short usage line printed with an error.
QString scanUsage();

// Reads the project, runs the scan to its end on the running application's
// event loop, writes the files asked for and returns the exit status.
int runScan(const ScanRunOptions &options);
