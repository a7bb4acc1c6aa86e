#pragma once

#include "schedule/ScheduledScan.h"
#include "schedule/SchedulerTools.h"

#include <QList>
#include <optional>

// Schedules a project's scan for the user alone: a systemd user timer where
// a systemd user session runs, the user's crontab where none does. Nothing
// is installed machine-wide. One schedule per project file; scheduling it
// again replaces the earlier one, wherever that was kept.
class ScanScheduler
{
public:
    explicit ScanScheduler(SchedulerTools tools = SchedulerTools::fromEnvironment());

    // Whether schedules go to systemd (asked once).
    bool usesSystemd();

    struct Outcome
    {
        bool ok = false;
        QString message;      // what was done, or why it could not be
        ScheduledScan scan;
    };
    // `scanner` runs `scanOptions` (see scheduledCommand) on the project.
    Outcome schedule(const QString &projectPath, const QString &scheduleText, const QString &scanner,
                     const QStringList &scanOptions = {});
    Outcome unschedule(const QString &projectPath);
    // Every scheduled scan, systemd's first; *error when the crontab could
    // not be read (its scans are then missing).
    QList<ScheduledScan> schedules(QString *error = nullptr);
    std::optional<ScheduledScan> scheduleOf(const QString &projectPath);

private:
    SchedulerTools m_tools;
    std::optional<bool> m_systemd;
};
