#include "ScheduleCommand.h"

#include "schedule/ScanScheduler.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

void print(FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

QString absolute(const QString &path)
{
    return path == QLatin1String("-") ? path : QFileInfo(path).absoluteFilePath();
}

} // namespace

QStringList scheduledScanOptions(const ScanRunOptions &o)
{
    const ScanRunOptions d;
    QStringList args;
    const auto number = [&](const char *name, int value, int byDefault, int shown) {
        if (value != byDefault)
            args << QLatin1String(name) << QString::number(shown);
    };
    const auto file = [&](const char *name, const QString &path) {
        if (!path.isEmpty())
            args << QLatin1String(name) << absolute(path);
    };
    const auto flag = [&](const char *name, bool on) {
        if (on)
            args << QLatin1String(name);
    };
    number("--scan-type", o.scanType, d.scanType, o.scanType);
    number("--main-site", o.mainSite, d.mainSite, o.mainSite + 1);
    number("--linking-site", o.linkingSite, d.linkingSite, o.linkingSite + 1);
    for (const QString &kv : o.settingOverrides)
        args << QStringLiteral("--set") << kv;
    file("--program-folder", o.programFolder);
    number("--port", o.port, d.port, o.port);
    number("--tls-port", o.tlsPort, d.tlsPort, o.tlsPort);
    file("--errors", o.errorsPath);
    file("--output", o.outputPath);
    file("--report", o.reportPath);
    file("--tab", o.tabPath);
    file("--links-page", o.linksPagePath);
    flag("--post", o.post);
    file("--post-log", o.postLogPath);
    file("--json", o.jsonPath);
    file("--history", o.historyPath);
    flag("--changes", o.changes);
    flag("--no-alerts", o.noAlerts);
    return args;
}

int runScheduleCommand(const ScanCommandLine &command)
{
    ScanScheduler scheduler;
    const ScanRunOptions &o = command.options;
    if (command.action == ScanCommandLine::Action::ListSchedules) {
        QString error;
        const QList<ScheduledScan> scans = scheduler.schedules(&error);
        if (!error.isEmpty())
            print(stderr, QStringLiteral("reciplex-scan: warning: ") + error);
        if (scans.isEmpty())
            print(stdout, QStringLiteral("No scheduled scans."));
        // Next run, schedule, where, project: tab-separated, one a line.
        for (const ScheduledScan &s : scans)
            print(stdout, QStringList{nextRunText(s.nextRun), s.schedule, s.whereText(), s.projectPath}.join(QLatin1Char('\t')));
        return ExitAllLinked;
    }
    const ScanScheduler::Outcome outcome = command.action == ScanCommandLine::Action::Unschedule
        ? scheduler.unschedule(o.projectPath)
        : scheduler.schedule(o.projectPath, o.schedule, QCoreApplication::applicationFilePath(), scheduledScanOptions(o));
    if (!outcome.ok) {
        print(stderr, QStringLiteral("reciplex-scan: ") + outcome.message);
        return ExitCannotStart;
    }
    print(stdout, outcome.message);
    return ExitAllLinked;
}
