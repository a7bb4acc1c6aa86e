#pragma once

#include "schedule/ScheduleRule.h"
#include "schedule/ScheduledScan.h"
#include "schedule/SchedulerTools.h"

#include <QList>

// Scheduled scans as systemd user units: ID.service runs the scan once,
// ID.timer starts it on the schedule (Persistent=, so a run missed while the
// machine was off comes at the next start). Both live in the user's unit
// folder; the timer remembers the project and the schedule in keys of its
// own (X-Reciplex-...), which systemd passes over.
namespace SystemdTimers {

// Whether a systemd user manager answers (systemctl --user).
bool userSessionRunning(const SchedulerTools &tools);

// One argument of ExecStart=, quoted so that systemd passes it unchanged.
QString execArgument(const QString &argument);
QString serviceText(const ScheduledScan &scan, const QStringList &command);
QString timerText(const ScheduledScan &scan, const ScheduleRule &rule);

// Writes both units, reloads the manager and starts the timer. On failure
// nothing is left behind.
bool install(const SchedulerTools &tools, const ScheduledScan &scan, const ScheduleRule &rule,
             const QStringList &command, QString *error);
// Stops the timer and removes both units; *found tells whether there were any.
bool remove(const SchedulerTools &tools, const QString &id, bool *found, QString *error);
// The scheduled scans whose timers are in the unit folder.
QList<ScheduledScan> list(const SchedulerTools &tools);

// When a calendar expression next elapses, from systemd-analyze; invalid,
// with systemd's reason, for an expression it does not take.
QDateTime nextElapse(const SchedulerTools &tools, const QString &onCalendar, QString *error);

} // namespace SystemdTimers
