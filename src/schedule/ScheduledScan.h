#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// One project's scheduled scan, wherever it is kept.
struct ScheduledScan
{
    enum class Where { SystemdTimer, Crontab };
    Where where = Where::SystemdTimer;
    // "reciplex-scan-sites-1a2b3c4d": the units' name without its suffix, and
    // the crontab line's marker. One per project file.
    QString id;
    QString projectPath;   // absolute
    QString schedule;      // as ScheduleRule::text() gives it
    QDateTime nextRun;     // local time; invalid when it cannot be told

    // "systemd user timer reciplex-scan-sites-1a2b3c4d.timer" or "crontab".
    QString whereText() const;
};

// The id of a project's schedule: its file name made safe for a unit name,
// and a hash of its absolute path so two "sites.prj" in two folders differ.
QString scheduleIdFor(const QString &absoluteProjectPath);

// The scan a schedule runs: the scanner, --quiet, the given options, the
// project's history (beside the project unless the options name one) and
// the project, every path absolute.
QStringList scheduledCommand(const QString &scanner, const QString &absoluteProjectPath,
                             const QStringList &scanOptions = {});

// "2026-12-10 03:00 (Wed)", or "unknown".
QString nextRunText(const QDateTime &nextRun);
