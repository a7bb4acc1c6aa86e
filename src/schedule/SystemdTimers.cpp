#include "schedule/SystemdTimers.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>

namespace {

const QString kProjectKey = QStringLiteral("X-Reciplex-Project=");
const QString kScheduleKey = QStringLiteral("X-Reciplex-Schedule=");

// "%" starts a specifier in any unit file value.
QString escapeSpecifiers(QString text)
{
    return text.replace(QLatin1Char('%'), QStringLiteral("%%"));
}

QString unitPath(const SchedulerTools &tools, const QString &id, const char *suffix)
{
    return tools.unitFolder + QLatin1Char('/') + id + QLatin1String(suffix);
}

bool writeFile(const QString &path, const QString &text, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

ToolRun systemctl(const SchedulerTools &tools, const QStringList &arguments)
{
    return runTool(tools.systemctl, QStringList{QStringLiteral("--user")} + arguments);
}

} // namespace

namespace SystemdTimers {

bool userSessionRunning(const SchedulerTools &tools)
{
    return systemctl(tools, {QStringLiteral("show-environment")}).ok();
}

QString execArgument(const QString &argument)
{
    QString quoted;
    for (const QChar ch : argument) {
        if (ch == QLatin1Char('\\') || ch == QLatin1Char('"'))
            quoted += QLatin1Char('\\');
        else if (ch == QLatin1Char('%') || ch == QLatin1Char('$'))
            quoted += ch; // "%%" and "$$" are a plain "%" and "$"
        quoted += ch;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString serviceText(const ScheduledScan &scan, const QStringList &command)
{
    QStringList exec;
    for (const QString &argument : command)
        exec << execArgument(argument);
    return QStringLiteral("# Written by reciplex-scan --schedule; reciplex-scan --unschedule removes it.\n"
                          "[Unit]\n"
                          "Description=Reciplex scan of %1\n"
                          "\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "ExecStart=%2\n"
                          // 1: a partner without its link, 3: a link lost: what the scan is
                          // for, not a failure of the service.
                          "SuccessExitStatus=1 3\n"
                          "Nice=10\n"
                          "IOSchedulingClass=idle\n")
        .arg(escapeSpecifiers(scan.projectPath), exec.join(QLatin1Char(' ')));
}

QString timerText(const ScheduledScan &scan, const ScheduleRule &rule)
{
    return QStringLiteral("# Written by reciplex-scan --schedule; reciplex-scan --unschedule removes it.\n"
                          "[Unit]\n"
                          "Description=Scheduled Reciplex scan of %1\n"
                          "\n"
                          "[Timer]\n"
                          "OnCalendar=%2\n"
                          "Persistent=true\n"
                          "%3%4\n"
                          "%5%6\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(escapeSpecifiers(scan.projectPath), rule.onCalendar(), kProjectKey, scan.projectPath, kScheduleKey,
             rule.text());
}

bool install(const SchedulerTools &tools, const ScheduledScan &scan, const ScheduleRule &rule,
             const QStringList &command, QString *error)
{
    if (!QDir().mkpath(tools.unitFolder)) {
        *error = QStringLiteral("cannot create %1").arg(tools.unitFolder);
        return false;
    }
    const QString service = unitPath(tools, scan.id, ".service");
    const QString timer = unitPath(tools, scan.id, ".timer");
    if (!writeFile(service, serviceText(scan, command), error) || !writeFile(timer, timerText(scan, rule), error)) {
        QFile::remove(service);
        return false;
    }
    ToolRun run = systemctl(tools, {QStringLiteral("daemon-reload")});
    if (run.ok())
        run = systemctl(tools, {QStringLiteral("enable"), QStringLiteral("--now"), scan.id + QStringLiteral(".timer")});
    if (!run.ok()) {
        *error = run.failure(tools.systemctl);
        QFile::remove(service);
        QFile::remove(timer);
        systemctl(tools, {QStringLiteral("daemon-reload")});
        return false;
    }
    return true;
}

bool remove(const SchedulerTools &tools, const QString &id, bool *found, QString *error)
{
    const QString service = unitPath(tools, id, ".service");
    const QString timer = unitPath(tools, id, ".timer");
    *found = QFile::exists(timer) || QFile::exists(service);
    if (!*found)
        return true;
    // A timer the manager no longer knows cannot be disabled: removing the
    // files is what counts.
    systemctl(tools, {QStringLiteral("disable"), QStringLiteral("--now"), id + QStringLiteral(".timer")});
    for (const QString &path : {timer, service})
        if (QFile::exists(path) && !QFile::remove(path)) {
            *error = QStringLiteral("cannot remove %1").arg(path);
            return false;
        }
    systemctl(tools, {QStringLiteral("daemon-reload")});
    return true;
}

QList<ScheduledScan> list(const SchedulerTools &tools)
{
    QList<ScheduledScan> scans;
    const QStringList timers = QDir(tools.unitFolder).entryList({QStringLiteral("reciplex-scan-*.timer")}, QDir::Files, QDir::Name);
    for (const QString &name : timers) {
        QFile file(tools.unitFolder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        ScheduledScan scan;
        scan.where = ScheduledScan::Where::SystemdTimer;
        scan.id = name.chopped(int(qstrlen(".timer")));
        for (const QString &line : QString::fromUtf8(file.read(1 << 16)).split(QLatin1Char('\n'))) {
            if (line.startsWith(kProjectKey))
                scan.projectPath = line.mid(kProjectKey.size());
            else if (line.startsWith(kScheduleKey))
                scan.schedule = line.mid(kScheduleKey.size());
        }
        if (scan.projectPath.isEmpty())
            continue; // not one of ours
        QString error;
        if (const auto rule = ScheduleRule::parse(scan.schedule, &error))
            scan.nextRun = rule->kind == ScheduleRule::Kind::Calendar ? nextElapse(tools, rule->onCalendar(), &error)
                                                                       : rule->nextRunAfter(QDateTime::currentDateTime());
        scans << scan;
    }
    return scans;
}

QDateTime nextElapse(const SchedulerTools &tools, const QString &onCalendar, QString *error)
{
    const ToolRun run = runTool(tools.systemdAnalyze, {QStringLiteral("calendar"), onCalendar});
    if (!run.ok()) {
        *error = run.failure(tools.systemdAnalyze);
        return QDateTime();
    }
    // "    Next elapse: Mon 2026-12-14 03:00:00 CET" and, outside UTC,
    // "       (in UTC): Mon 2026-12-14 02:00:00 UTC".
    QDateTime next;
    for (const QString &line : QString::fromUtf8(run.out).split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        const bool utcLine = t.startsWith(QLatin1String("(in UTC):"));
        if (!utcLine && !t.startsWith(QLatin1String("Next elapse:")))
            continue;
        const QStringList words = t.mid(t.indexOf(QLatin1Char(':')) + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 3)
            continue;
        const QDateTime at = QDateTime::fromString(words.at(1) + QLatin1Char(' ') + words.at(2),
                                                   QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!at.isValid())
            continue;
        if (utcLine || (words.size() > 3 && words.at(3) == QLatin1String("UTC")))
            return QDateTime(at.date(), at.time(), QTimeZone::utc()).toLocalTime();
        next = at;
    }
    if (!next.isValid())
        *error = QStringLiteral("systemd-analyze tells no next run of \"%1\"").arg(onCalendar);
    return next;
}

} // namespace SystemdTimers
