#include "schedule/ScheduleRule.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

const char *const kDays[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char *const kLongDays[7] = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};

int weekdayOf(const QString &word)
{
    const QString w = word.toLower();
    for (int i = 0; i < 7; ++i)
        if (w == QString::fromLatin1(kDays[i]).toLower() || w == QLatin1String(kLongDays[i]))
            return i + 1;
    return 0;
}

bool parseTime(const QString &word, int *hour, int *minute)
{
    static const QRegularExpression form(QStringLiteral(R"(^(\d{1,2}):(\d{2})$)"));
    const QRegularExpressionMatch m = form.match(word);
    if (!m.hasMatch())
        return false;
    *hour = m.captured(1).toInt();
    *minute = m.captured(2).toInt();
    return *hour < 24 && *minute < 60;
}

QString clock(int hour, int minute)
{
    return QStringLiteral("%1:%2").arg(hour, 2, 10, QLatin1Char('0')).arg(minute, 2, 10, QLatin1Char('0'));
}

} // namespace

QString ScheduleRule::text() const
{
    switch (kind) {
    case Kind::Hourly:
        return QStringLiteral("hourly");
    case Kind::Daily:
        return QStringLiteral("daily ") + clock(hour, minute);
    case Kind::Weekly:
        return QStringLiteral("weekly %1 %2").arg(QLatin1String(kDays[weekday - 1]), clock(hour, minute));
    case Kind::Calendar:
        break;
    }
    return calendar;
}

QString ScheduleRule::onCalendar() const
{
    switch (kind) {
    case Kind::Hourly:
        return QStringLiteral("*-*-* *:00:00");
    case Kind::Daily:
        return QStringLiteral("*-*-* %1:00").arg(clock(hour, minute));
    case Kind::Weekly:
        return QStringLiteral("%1 *-*-* %2:00").arg(QLatin1String(kDays[weekday - 1]), clock(hour, minute));
    case Kind::Calendar:
        break;
    }
    return calendar;
}

QString ScheduleRule::cronFields() const
{
    switch (kind) {
    case Kind::Hourly:
        return QStringLiteral("0 * * * *");
    case Kind::Daily:
        return QStringLiteral("%1 %2 * * *").arg(minute).arg(hour);
    case Kind::Weekly:
        return QStringLiteral("%1 %2 * * %3").arg(minute).arg(hour).arg(weekday % 7); // cron's Sunday is 0
    case Kind::Calendar:
        break;
    }
    return QString();
}

QDateTime ScheduleRule::nextRunAfter(const QDateTime &now) const
{
    if (kind == Kind::Calendar)
        return QDateTime();
    if (kind == Kind::Hourly) {
        const QDateTime hourStart(now.date(), QTime(now.time().hour(), 0));
        return hourStart.addSecs(3600);
    }
    QDate day = now.date();
    for (int i = 0; i < 8; ++i, day = day.addDays(1)) {
        if (kind == Kind::Weekly && day.dayOfWeek() != weekday)
            continue;
        const QDateTime at(day, QTime(hour, minute));
        if (at > now)
            return at;
    }
    return QDateTime();
}

std::optional<ScheduleRule> ScheduleRule::parse(const QString &text, QString *error)
{
    const QString simplified = text.simplified();
    const QStringList words = simplified.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        *error = QStringLiteral("no schedule given");
        return std::nullopt;
    }
    ScheduleRule rule;
    const QString first = words.first().toLower();
    if (first == QLatin1String("hourly") && words.size() == 1) {
        rule.kind = Kind::Hourly;
        return rule;
    }
    if (first == QLatin1String("daily") && words.size() <= 2) {
        rule.kind = Kind::Daily;
        if (words.size() == 2 && !parseTime(words.at(1), &rule.hour, &rule.minute)) {
            *error = QStringLiteral("\"%1\" is not a time of day like 03:00").arg(words.at(1));
            return std::nullopt;
        }
        return rule;
    }
    if (first == QLatin1String("weekly") && words.size() <= 3) {
        rule.kind = Kind::Weekly;
        if (words.size() >= 2 && !(rule.weekday = weekdayOf(words.at(1)))) {
            *error = QStringLiteral("\"%1\" is not a day of the week like Mon").arg(words.at(1));
            return std::nullopt;
        }
        if (words.size() == 3 && !parseTime(words.at(2), &rule.hour, &rule.minute)) {
            *error = QStringLiteral("\"%1\" is not a time of day like 03:00").arg(words.at(2));
            return std::nullopt;
        }
        if (words.size() == 1)
            rule.weekday = 1;
        return rule;
    }
    // A calendar expression: only what one can hold, so it cannot escape from
    // a unit file line ("%" would be a specifier there).
    static const QRegularExpression calendarCharacters(QStringLiteral(R"(^[A-Za-z0-9 *,.:/~+\-]+$)"));
    if (!calendarCharacters.match(simplified).hasMatch()) {
        *error = QStringLiteral("\"%1\" is not a schedule: use \"hourly\", \"daily 03:00\", \"weekly Mon 03:00\" "
                                "or a systemd calendar expression")
                     .arg(text);
        return std::nullopt;
    }
    rule.kind = Kind::Calendar;
    rule.calendar = simplified;
    return rule;
}
