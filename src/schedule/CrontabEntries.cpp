#include "schedule/CrontabEntries.h"

namespace {

const QString kMarker = QStringLiteral(" # reciplex-schedule ");

// The table as `crontab -l` gives it; a user without one has an empty table.
bool readTable(const SchedulerTools &tools, QStringList *lines, QString *error)
{
    const ToolRun run = runTool(tools.crontab, {QStringLiteral("-l")});
    if (!run.started) {
        *error = QStringLiteral("there is no systemd user session and no crontab command (install cron)");
        return false;
    }
    if (run.exitCode != 0) {
        if (run.err.contains(QLatin1String("no crontab for"))) {
            lines->clear();
            return true;
        }
        *error = run.failure(tools.crontab);
        return false;
    }
    *lines = QString::fromLocal8Bit(run.out).split(QLatin1Char('\n'));
    while (!lines->isEmpty() && lines->last().isEmpty())
        lines->removeLast();
    return true;
}

bool writeTable(const SchedulerTools &tools, const QStringList &lines, QString *error)
{
    const QByteArray text = lines.isEmpty() ? QByteArray() : (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLocal8Bit();
    const ToolRun run = runTool(tools.crontab, {QStringLiteral("-")}, text);
    if (!run.ok()) {
        *error = run.failure(tools.crontab);
        return false;
    }
    return true;
}

QString idOf(const QString &line)
{
    const qsizetype at = line.lastIndexOf(kMarker);
    return at < 0 ? QString() : line.mid(at + kMarker.size()).section(QLatin1Char(' '), 0, 0);
}

// The words of a command of shellArgument()s, unquoted.
QStringList shellWords(const QString &command)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar ch = command.at(i);
        if (ch == QLatin1Char('\'')) {
            const qsizetype end = command.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0)
                return {};
            word += command.mid(i + 1, end - i - 1);
            i = end;
            inWord = true;
        } else if (ch == QLatin1Char('\\') && i + 1 < command.size()) {
            word += command.at(++i);
            inWord = true;
        } else if (ch == QLatin1Char(' ')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += ch;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

} // namespace

namespace CrontabEntries {

QString shellArgument(const QString &argument)
{
    QString quoted = argument;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    // Inside single quotes the shell keeps "\" as it is; cron takes "\%" for a plain "%".
    quoted.replace(QLatin1Char('%'), QStringLiteral("'\\%'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString line(const ScheduledScan &scan, const ScheduleRule &rule, const QStringList &command)
{
    QStringList words;
    for (const QString &argument : command)
        words << shellArgument(argument);
    return rule.cronFields() + QLatin1Char(' ') + words.join(QLatin1Char(' ')) + kMarker + scan.id + QLatin1Char(' ')
         + rule.text();
}

std::optional<ScheduledScan> parseLine(const QString &text)
{
    const qsizetype at = text.lastIndexOf(kMarker);
    if (at < 0 || text.startsWith(QLatin1Char('#')))
        return std::nullopt;
    ScheduledScan scan;
    scan.where = ScheduledScan::Where::Crontab;
    const QString marker = text.mid(at + kMarker.size());
    scan.id = marker.section(QLatin1Char(' '), 0, 0);
    scan.schedule = marker.section(QLatin1Char(' '), 1);
    // Five time fields, then the command; its last word is the project.
    const QString command = text.left(at).section(QLatin1Char(' '), 5);
    const QStringList words = shellWords(command);
    if (scan.id.isEmpty() || words.isEmpty())
        return std::nullopt;
    scan.projectPath = words.last();
    QString error;
    if (const auto rule = ScheduleRule::parse(scan.schedule, &error))
        scan.nextRun = rule->nextRunAfter(QDateTime::currentDateTime());
    return scan;
}

bool install(const SchedulerTools &tools, const ScheduledScan &scan, const ScheduleRule &rule,
             const QStringList &command, QString *error)
{
    if (rule.kind == ScheduleRule::Kind::Calendar) {
        *error = QStringLiteral("without a systemd user session the schedule goes into the crontab, which takes "
                                "only \"hourly\", \"daily HH:MM\" and \"weekly DAY HH:MM\"");
        return false;
    }
    QStringList lines;
    if (!readTable(tools, &lines, error))
        return false;
    lines.erase(std::remove_if(lines.begin(), lines.end(), [&](const QString &l) { return idOf(l) == scan.id; }),
                lines.end());
    lines << line(scan, rule, command);
    return writeTable(tools, lines, error);
}

bool remove(const SchedulerTools &tools, const QString &id, bool *found, QString *error)
{
    *found = false;
    QStringList lines;
    if (!readTable(tools, &lines, error))
        return false;
    const qsizetype before = lines.size();
    lines.erase(std::remove_if(lines.begin(), lines.end(), [&](const QString &l) { return idOf(l) == id; }), lines.end());
    *found = lines.size() != before;
    return !*found || writeTable(tools, lines, error);
}

QList<ScheduledScan> list(const SchedulerTools &tools, QString *error)
{
    QList<ScheduledScan> scans;
    QStringList lines;
    if (!readTable(tools, &lines, error))
        return scans;
    for (const QString &l : lines)
        if (const auto scan = parseLine(l))
            scans << *scan;
    return scans;
}

} // namespace CrontabEntries
