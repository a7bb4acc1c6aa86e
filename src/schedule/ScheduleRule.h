#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// When a scheduled scan runs: "hourly", "daily 03:00", "weekly Mon 03:00", or
// a systemd calendar expression ("Mon..Fri *-*-* 06:30:00"), which only a
// systemd timer can follow.
struct ScheduleRule
{
    enum class Kind { Hourly, Daily, Weekly, Calendar };
    Kind kind = Kind::Daily;
    int hour = 0;
    int minute = 0;
    int weekday = 1;        // 1 Monday .. 7 Sunday
    QString calendar;       // Kind::Calendar: the expression as given

    // The form the user reads and the units remember: "daily 03:00",
    // "weekly Mon 03:00", "hourly", or the calendar expression.
    QString text() const;
    // The timer's OnCalendar= value.
    QString onCalendar() const;
    // The five time fields of a crontab line; "" for a calendar expression.
    QString cronFields() const;
    // The first run after `now`, local time; invalid for a calendar
    // expression (systemd-analyze tells that one).
    QDateTime nextRunAfter(const QDateTime &now) const;

    // Letter case and extra spaces do not matter; "daily" alone is at 00:00,
    // "weekly" alone Monday 00:00. Text that is none of the short forms is
    // taken as a calendar expression when it holds only the characters one
    // can; otherwise nullopt with the reason.
    static std::optional<ScheduleRule> parse(const QString &text, QString *error);
};
