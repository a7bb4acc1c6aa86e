#pragma once

#include "schedule/ScheduleRule.h"
#include "schedule/ScheduledScan.h"
#include "schedule/SchedulerTools.h"

#include <QList>

// Scheduled scans as lines of the user's crontab, for machines without a
// systemd user session. Each line ends in a marker comment naming its id and
// schedule; other lines of the table are never touched.
namespace CrontabEntries {

// One argument of the command, quoted for the shell cron hands it to (and
// with "%", which cron would turn into a line break, escaped).
QString shellArgument(const QString &argument);
QString line(const ScheduledScan &scan, const ScheduleRule &rule, const QStringList &command);
// The scan a line of ours stands for; nullopt for any other line.
std::optional<ScheduledScan> parseLine(const QString &line);

// Adds the line, replacing an earlier one of the same id.
bool install(const SchedulerTools &tools, const ScheduledScan &scan, const ScheduleRule &rule,
             const QStringList &command, QString *error);
bool remove(const SchedulerTools &tools, const QString &id, bool *found, QString *error);
// Our lines of the table; *error when the table could not be read (no
// crontab command).
QList<ScheduledScan> list(const SchedulerTools &tools, QString *error);

} // namespace CrontabEntries
