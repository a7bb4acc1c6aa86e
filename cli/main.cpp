// reciplex-scan: the headless scanner for scheduled checks. It runs the same
// scan engine as the window on a project file and exits with 0 when every
// Linking Site links back, 1 when some do not, 2 when the scan cannot start,
// 3 when a link was lost since the previous run of the history.
#include "ScanRun.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Reciplex"));
    QCoreApplication::setApplicationName(QStringLiteral("Reciplex"));

    ScanRunOptions options;
    QString error;
    if (!parseScanOptions(QCoreApplication::arguments(), &options, &error)) {
        std::fprintf(stderr, "reciplex-scan: %s\n%s\n", error.toLocal8Bit().constData(),
                     scanUsage().toLocal8Bit().constData());
        return ExitCannotStart;
    }
    return runScan(options);
}
