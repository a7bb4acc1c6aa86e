// reciplex-scan: the headless scanner for scheduled checks. It runs the same
// scan engine as the window on a project file and exits with 0 when every
// Linking Site links back, 1 when some do not, 2 when the scan cannot start,
// 3 when a link was lost since the previous run of the history.
#include "HistoryReset.h"
#include "ScanRun.h"
#include "ScheduleCommand.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The same name as the window's, so both share one data folder.
    QCoreApplication::setApplicationName(QStringLiteral("Reciplex"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RECIPLEX_VERSION));

    const ScanCommandLine command = parseScanCommandLine(QCoreApplication::arguments());
    switch (command.action) {
    case ScanCommandLine::Action::Help:
    case ScanCommandLine::Action::Version:
        std::printf("%s\n", command.text.trimmed().toLocal8Bit().constData());
        return 0;
    case ScanCommandLine::Action::Error:
        std::fprintf(stderr, "reciplex-scan: %s\n%s\n", command.text.toLocal8Bit().constData(),
                     scanUsage().toLocal8Bit().constData());
        return ExitCannotStart;
    case ScanCommandLine::Action::Schedule:
    case ScanCommandLine::Action::Unschedule:
    case ScanCommandLine::Action::ListSchedules:
        return runScheduleCommand(command);
    case ScanCommandLine::Action::HistoryReset:
        return runHistoryReset(command.options);
    case ScanCommandLine::Action::Scan:
        break;
    }
    return runScan(command.options);
}
