#include "ScanRun.h"

#include "settings/SettingsKeys.h"

#include <QCommandLineParser>
#include <QDir>

#include <functional>

namespace {

// Stores an option's value in the options; false, with the reason, when the
// value is not acceptable. Flags are applied with an empty value.
using Apply = std::function<bool(const QString &value, ScanRunOptions &o, QString *error)>;

// One option of the command line. Adding an option is adding a row to
// optionTable() and a field to ScanRunOptions.
struct OptionRow
{
    QStringList names;    // short form first, if any
    QString valueName;    // empty for a flag; FILE and DIR are completed as names
    QString description;
    Apply apply;
    // The values the help's "Values" section lists and the shell completes:
    // words, or "A to B" for a small range of numbers; "" for none.
    QString values = QString();
};

Apply wholeNumber(int ScanRunOptions::*field, int min, int max, int stored, const QString &message)
{
    return [=](const QString &value, ScanRunOptions &o, QString *error) {
        bool ok = false;
        const int n = value.toInt(&ok);
        if (!ok || n < min || n > max) {
            *error = message;
            return false;
        }
        o.*field = n + stored;
        return true;
    };
}

Apply text(QString ScanRunOptions::*field)
{
    return [=](const QString &value, ScanRunOptions &o, QString *) {
        o.*field = value;
        return true;
    };
}

Apply flag(bool ScanRunOptions::*field)
{
    return [=](const QString &, ScanRunOptions &o, QString *) {
        o.*field = true;
        return true;
    };
}

// The settings keys a run may be given with --set: those the scan, its
// outputs, the history and the alerts read.
QStringList setKeys()
{
    return {Keys::txtTimeout, Keys::cmbAdvance, Keys::chkAuto, Keys::chkAuto2, Keys::chkFileTypes, Keys::chkUpdate,
            Keys::chkRedirect, Keys::chkLog, Keys::chkLinkNotes, Keys::chkAnchorText, Keys::SkipType, Keys::chkNewWin,
            Keys::chkBullet, Keys::optScript, Keys::IgnorePermissionDeniedError, Keys::IgnoreCertificateErrors,
            Keys::UserAgent, Keys::SitesAtOnce, Keys::RetryDelay, Keys::AlertWebhook, Keys::AlertMailTo,
            Keys::AlertMailFrom, Keys::SmtpServer, Keys::SmtpUser, Keys::SmtpPassword, Keys::SmtpSecurity,
            Keys::AlertNotify, Keys::LostAfterRuns, Keys::HistoryKeepRuns, Keys::RenderJavaScript,
            Keys::RenderTimeout, Keys::ProofShots};
}

const QList<OptionRow> &optionTable()
{
    static const QList<OptionRow> table{
        {{"t", "scan-type"}, "N",
         "0 (default) all Main Sites, 1 the selected Main Site, 2 the selected Linking Site.",
         wholeNumber(&ScanRunOptions::scanType, 0, 2, 0, "--scan-type must be 0, 1 or 2"), "0 1 2"},
        {{"m", "main-site"}, "N", "1-based position of the selected Main Site (scan types 1 and 2).",
         wholeNumber(&ScanRunOptions::mainSite, 1, 1 << 30, -1, "--main-site must be a position from 1")},
        {{"l", "linking-site"}, "N", "1-based position of the selected Linking Site row (scan type 2).",
         wholeNumber(&ScanRunOptions::linkingSite, 1, 1 << 30, -1, "--linking-site must be a position from 1")},
        {{"s", "set"}, "KEY=VALUE",
         "Use VALUE for settings key KEY during this run only; nothing is stored. Repeatable.",
         [](const QString &value, ScanRunOptions &o, QString *error) {
             if (value.indexOf(QLatin1Char('=')) < 1) {
                 *error = QStringLiteral("--set needs KEY=VALUE");
                 return false;
             }
             o.settingOverrides << value;
             return true;
         },
         setKeys().join(QLatin1String("= ")) + QLatin1Char('=')},
        {{"sites-at-once"}, "N",
         "Scan N Linking Sites at the same time, 1 to 64 (default 32); the same as --set SitesAtOnce=N.",
         [](const QString &value, ScanRunOptions &o, QString *error) {
             bool ok = false;
             const int n = value.toInt(&ok);
             if (!ok || n < 1 || n > 64) {
                 *error = QStringLiteral("--sites-at-once must be a number from 1 to 64");
                 return false;
             }
             o.settingOverrides << QStringLiteral("SitesAtOnce=") + QString::number(n);
             return true;
         },
         "1 to 64"},
        {{"program-folder"}, "DIR",
         "The program folder (default: the executable's folder, or the user's data folder when installed).",
         text(&ScanRunOptions::programFolder)},
        {{"port"}, "N", "Connect to port N instead of 80 (local test servers).",
         wholeNumber(&ScanRunOptions::port, 1, 65535, 0, "--port must be a port number from 1 to 65535")},
        {{"tls-port"}, "N", "Connect to port N instead of 443 for https pages (local test servers).",
         wholeNumber(&ScanRunOptions::tlsPort, 1, 65535, 0, "--tls-port must be a port number from 1 to 65535")},
        {{"e", "errors"}, "FILE", "Write the errors list to FILE.", text(&ScanRunOptions::errorsPath)},
        {{"o", "output"}, "FILE",
         "Write the project with its new results (and the Linking Site URLs the scan replaced) as Save would.",
         text(&ScanRunOptions::outputPath)},
        {{"r", "report"}, "FILE", "Write the report of the finished scan (\".htm\" is added to a name without it).",
         text(&ScanRunOptions::reportPath)},
        {{"tab"}, "FILE", "Write the results tab-delimited (\".tab\" is added to a name without it).",
         text(&ScanRunOptions::tabPath)},
        {{"links-page"}, "FILE",
         "After the scan, generate the links for all Main Sites and write the links page to FILE.",
         text(&ScanRunOptions::linksPagePath)},
        {{"post"}, QString(), "After the scan, post every result to the project's script URL(s).",
         flag(&ScanRunOptions::post)},
        {{"post-log"}, "FILE", "Write the posting log to FILE (otherwise to stdout with --post).",
         text(&ScanRunOptions::postLogPath)},
        {{"j", "json"}, "FILE", "Write the finished scan as one JSON document to FILE (\"-\" for stdout).",
         text(&ScanRunOptions::jsonPath)},
        {{"history"}, "FILE",
         "Store this run in the history database FILE, created when missing. Without it, a history "
         "beside the project (NAME.history.sqlite) is written when it exists.",
         text(&ScanRunOptions::historyPath)},
        {{"changes"}, QString(),
         "Print the changes since the previous run of the history on stdout, one per line: change (Lost, "
         "Possibly lost, New, Moved, Notes changed, Not checked), Main Site, Linking Site host, before, now, "
         "Linking Site URL, separated by tabs. Needs a history.",
         flag(&ScanRunOptions::changes)},
        {{"proof"}, "DIR",
         "Keep a picture of the page of every link found, with the link outlined, as DIR/MAINHOST/LINKINGHOST.png "
         "(the same as --set ProofShots=1, with the pictures in DIR).",
         [](const QString &value, ScanRunOptions &o, QString *error) {
             if (value.trimmed().isEmpty()) {
                 *error = QStringLiteral("--proof needs a folder");
                 return false;
             }
             // The pictures are written by the page renderer, which must not
             // depend on the scanner's working folder.
             o.proofFolder = QDir::cleanPath(QDir::current().absoluteFilePath(value));
             o.settingOverrides << QStringLiteral("ProofShots=1");
             return true;
         }},
        {{"q", "quiet"}, QString(), "No progress, not even on a terminal.", flag(&ScanRunOptions::quiet)},
        {{"no-alerts"}, QString(),
         "Send no alert after this run, even when it has changes (see the Alerts options).",
         flag(&ScanRunOptions::noAlerts)},
        {{"schedule"}, "WHEN",
         "Do not scan now: install a scheduled scan of PROJECT, with its history and alerts, for this user: "
         "\"hourly\", \"daily 03:00\", \"weekly Mon 03:00\" or a systemd calendar expression. A systemd user "
         "timer, or a crontab line where there is no systemd user session. The other options given are those of "
         "every scheduled run; scheduling a project again replaces its schedule.",
         text(&ScanRunOptions::schedule), "hourly daily weekly"},
        {{"unschedule"}, QString(), "Do not scan: remove the scheduled scan of PROJECT.",
         flag(&ScanRunOptions::unschedule)},
        {{"schedules"}, QString(), "Do not scan: list the scheduled scans with their next run.",
         flag(&ScanRunOptions::listSchedules)},
        {{"history-reset"}, QString(),
         "Do not scan: move a damaged history of PROJECT (or --history FILE) aside as "
         "FILE.damaged-YYYYMMDD-HHMMSS; the next run starts a new history. A history that can be read is left alone.",
         flag(&ScanRunOptions::historyReset)},
    };
    return table;
}

QString exitStatusText()
{
    return QStringLiteral(
        "\nExit status:\n"
        "  0  every Linking Site ended with a link\n"
        "  1  some Linking Site ended with \"None Found\" or \"Missing\"\n"
        "  2  the scan could not start (a bad option, a project file that cannot be\n"
        "     opened, a failed start check) or an output file or the history could\n"
        "     not be written\n"
        "  3  a link was lost since the previous run of the history (it takes\n"
        "     precedence over 1)\n");
}

// One line per option with values to choose from: read by people and by the
// bash completion, which completes FILE and DIR values as names and the rest
// from here, so neither can fall behind the table.
QString valuesText()
{
    QString text = QStringLiteral("\nValues:\n");
    for (const OptionRow &row : optionTable()) {
        if (row.values.isEmpty())
            continue;
        QString line = QStringLiteral("  --%1:").arg(row.names.last());
        for (const QString &word : row.values.split(QLatin1Char(' '))) {
            if (line.size() + 1 + word.size() > 79) {
                text += line + QLatin1Char('\n');
                line = QStringLiteral("     ");
            }
            line += QLatin1Char(' ') + word;
        }
        text += line + QLatin1Char('\n');
    }
    return text;
}

} // namespace

QString scanUsage()
{
    return QStringLiteral("usage: reciplex-scan [options] PROJECT\n"
                          "Try 'reciplex-scan --help' for more information.");
}

ScanCommandLine parseScanCommandLine(const QStringList &arguments)
{
    ScanCommandLine result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Scans the Linking Sites of a project for their links back, without a window, and writes what it found."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    QList<QCommandLineOption> options;
    for (const OptionRow &row : optionTable()) {
        options << QCommandLineOption(row.names, row.description, row.valueName);
        parser.addOption(options.last());
    }
    parser.addPositionalArgument(QStringLiteral("PROJECT"), QStringLiteral("The project file to scan."));

    if (!parser.parse(arguments)) {
        result.text = parser.errorText();
        return result;
    }
    // Qt's parser adds --help-all (the help with Qt's own options, which this
    // program has none of): the same help, and never a scan.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = ScanCommandLine::Action::Help;
        // Qt names the program as it was called; the help names it as installed.
        const QString qtHelp = parser.helpText();
        const qsizetype options = qtHelp.indexOf(QLatin1String(" [options]"));
        result.text = QStringLiteral("Usage: reciplex-scan") + (options < 0 ? qtHelp : qtHelp.mid(options)) + valuesText()
                    + exitStatusText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = ScanCommandLine::Action::Version;
        result.text = QStringLiteral("reciplex-scan ") + QStringLiteral(RECIPLEX_VERSION);
        return result;
    }

    ScanRunOptions &o = result.options;
    for (int i = 0; i < options.size(); ++i) {
        const OptionRow &row = optionTable().at(i);
        // Every value in command-line order: a repeated option keeps its last.
        const QStringList values = row.valueName.isEmpty()
            ? (parser.isSet(options.at(i)) ? QStringList{QString()} : QStringList())
            : parser.values(options.at(i));
        for (const QString &value : values)
            if (!row.apply(value, o, &result.text))
                return result;
    }

    const QStringList positional = parser.positionalArguments();
    if (o.listSchedules) {
        if (!positional.isEmpty() || o.unschedule || !o.schedule.isEmpty()) {
            result.text = QStringLiteral("--schedules takes no project and no other schedule option");
            return result;
        }
        result.action = ScanCommandLine::Action::ListSchedules;
        return result;
    }
    if (o.historyReset && (o.unschedule || !o.schedule.isEmpty())) {
        result.text = QStringLiteral("--history-reset cannot be combined with a schedule option");
        return result;
    }
    if (o.unschedule && !o.schedule.isEmpty()) {
        result.text = QStringLiteral("--schedule and --unschedule cannot be combined");
        return result;
    }
    if (positional.size() != 1) {
        result.text = positional.isEmpty() ? QStringLiteral("no project file given")
                                           : QStringLiteral("only one project file may be given");
        return result;
    }
    o.projectPath = positional.first();
    if (o.jsonPath == QLatin1String("-") && o.post && o.postLogPath.isEmpty()) {
        result.text = QStringLiteral("--json - and --post without --post-log would both write to stdout");
        return result;
    }
    if (o.jsonPath == QLatin1String("-") && o.changes) {
        result.text = QStringLiteral("--json - and --changes would both write to stdout");
        return result;
    }
    result.action = o.historyReset        ? ScanCommandLine::Action::HistoryReset
                  : o.unschedule          ? ScanCommandLine::Action::Unschedule
                  : !o.schedule.isEmpty() ? ScanCommandLine::Action::Schedule
                                          : ScanCommandLine::Action::Scan;
    return result;
}
