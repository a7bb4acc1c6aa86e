#include "schedule/ScanScheduler.h"

#include "schedule/CrontabEntries.h"
#include "schedule/ScheduleRule.h"
#include "schedule/SystemdTimers.h"

#include <QFileInfo>

ScanScheduler::ScanScheduler(SchedulerTools tools) : m_tools(std::move(tools)) {}

bool ScanScheduler::usesSystemd()
{
    if (!m_systemd)
        m_systemd = SystemdTimers::userSessionRunning(m_tools);
    return *m_systemd;
}

ScanScheduler::Outcome ScanScheduler::schedule(const QString &projectPath, const QString &scheduleText,
                                               const QString &scanner, const QStringList &scanOptions)
{
    Outcome out;
    const QFileInfo project(projectPath);
    if (!project.isFile()) {
        out.message = QStringLiteral("the project file %1 does not exist").arg(projectPath);
        return out;
    }
    const QString path = project.absoluteFilePath();
    if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
        out.message = QStringLiteral("a project whose path has a line break cannot be scheduled");
        return out;
    }
    QString error;
    const std::optional<ScheduleRule> rule = ScheduleRule::parse(scheduleText, &error);
    if (!rule) {
        out.message = error;
        return out;
    }
    ScheduledScan &scan = out.scan;
    scan.id = scheduleIdFor(path);
    scan.projectPath = path;
    scan.schedule = rule->text();
    const QStringList command = scheduledCommand(scanner, path, scanOptions);
    bool found = false;
    if (usesSystemd()) {
        scan.where = ScheduledScan::Where::SystemdTimer;
        if (rule->kind == ScheduleRule::Kind::Calendar) {
            scan.nextRun = SystemdTimers::nextElapse(m_tools, rule->onCalendar(), &error);
            if (!scan.nextRun.isValid()) {
                out.message = QStringLiteral("\"%1\" is not a calendar expression systemd takes: %2").arg(scheduleText, error);
                return out;
            }
        }
        if (!SystemdTimers::install(m_tools, scan, *rule, command, &error)) {
            out.message = QStringLiteral("the systemd timer could not be installed: %1").arg(error);
            return out;
        }
        CrontabEntries::remove(m_tools, scan.id, &found, &error); // an older schedule from before
    } else {
        scan.where = ScheduledScan::Where::Crontab;
        if (!CrontabEntries::install(m_tools, scan, *rule, command, &error)) {
            out.message = QStringLiteral("no systemd user session, and the crontab could not take the schedule: %1").arg(error);
            return out;
        }
        SystemdTimers::remove(m_tools, scan.id, &found, &error);
    }
    if (!scan.nextRun.isValid())
        scan.nextRun = rule->nextRunAfter(QDateTime::currentDateTime());
    out.ok = true;
    out.message = scan.where == ScheduledScan::Where::SystemdTimer
        ? QStringLiteral("Scheduled \"%1\" for %2 with the systemd user timer %3.timer; next run %4.")
              .arg(scan.schedule, path, scan.id, nextRunText(scan.nextRun))
        : QStringLiteral("No systemd user session: scheduled \"%1\" for %2 in your crontab instead; next run %3.")
              .arg(scan.schedule, path, nextRunText(scan.nextRun));
    return out;
}

ScanScheduler::Outcome ScanScheduler::unschedule(const QString &projectPath)
{
    Outcome out;
    const QString path = QFileInfo(projectPath).absoluteFilePath();
    const QString id = scheduleIdFor(path);
    QString timerError, cronError;
    bool inSystemd = false, inCrontab = false;
    const bool timerOk = SystemdTimers::remove(m_tools, id, &inSystemd, &timerError);
    const bool cronOk = CrontabEntries::remove(m_tools, id, &inCrontab, &cronError);
    out.scan.id = id;
    out.scan.projectPath = path;
    if (!timerOk) {
        out.message = timerError;
        return out;
    }
    if (inCrontab && !cronOk) {
        out.message = cronError;
        return out;
    }
    out.ok = true; // no schedule left either way
    QStringList where;
    if (inSystemd)
        where << QStringLiteral("the systemd user timer %1.timer").arg(id);
    if (inCrontab)
        where << QStringLiteral("your crontab");
    out.message = where.isEmpty() ? QStringLiteral("%1 has no schedule: nothing removed.").arg(path)
                                  : QStringLiteral("Removed the schedule of %1 from %2.").arg(path, where.join(QStringLiteral(" and ")));
    return out;
}

QList<ScheduledScan> ScanScheduler::schedules(QString *error)
{
    QList<ScheduledScan> scans = SystemdTimers::list(m_tools);
    QString cronError;
    const QList<ScheduledScan> cron = CrontabEntries::list(m_tools, &cronError);
    scans << cron;
    // Without systemd, an unreadable crontab is worth saying; with it, cron
    // is only where older schedules might be.
    if (error && !cronError.isEmpty() && !usesSystemd())
        *error = cronError;
    return scans;
}

std::optional<ScheduledScan> ScanScheduler::scheduleOf(const QString &projectPath)
{
    const QString path = QFileInfo(projectPath).absoluteFilePath();
    for (const ScheduledScan &scan : schedules())
        if (scan.projectPath == path)
            return scan;
    return std::nullopt;
}
