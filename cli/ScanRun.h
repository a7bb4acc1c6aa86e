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
    QString reportPath;
    QString tabPath;
    QString errorsPath;
    QString outputPath;
    bool quiet = false;
};

// Exit statuses of reciplex-scan.
enum ScanExit { ExitAllLinked = 0, ExitSomeMissing = 1, ExitCannotStart = 2 };

// Parses the arguments (argv[0] included). On failure returns false with the
// reason in *error.
bool parseScanOptions(const QStringList &arguments, ScanRunOptions *options, QString *error);
QString scanUsage();

// Reads the project, runs the scan to its end on the running application's
// event loop, writes the files asked for and returns the exit status.
int runScan(const ScanRunOptions &options);
