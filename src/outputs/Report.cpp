#include "outputs/Report.h"

#include "model/Project.h"
#include "outputs/HtmlEscape.h"
#include "outputs/NotedStatus.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

#include <QFile>
#include <QHash>
#include <QUrl>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kDirect = QStringLiteral("Direct Link");
const QString kIndirect = QStringLiteral("Indirect Link");
const QString kRedirect = QStringLiteral("Redirect Link");
const QString kNoneFound = QStringLiteral("None Found");

bool isReciprocalStatus(const QString &status)
{
    return status == kDirect || status == kIndirect || status == kRedirect;
}

// The system's time format carries a time-zone name in its long form; the
// report shows the clock time only, seconds included.
QString clockText(const QTime &time, const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : std::as_const(format)) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        kept += c;
    }
    return locale.toString(time, kept.trimmed());
}

// What one result row adds under every Linking Site whose key matches it.
void appendEntry(QString &out, const QString &escapedKey, const LinkResult &row, bool anchorTexts)
{
    out += QLatin1String("Site: <a href='");
    out += escapedKey;
    out += QLatin1String("'>");
    out += escapedKey;
    out += QLatin1String("</a><BR>");
    if (isReciprocalStatus(row.status)) {
        const QString url = escapeHtml(row.url);
        out += QLatin1String("Status: ");
        out += escapeHtml(statusWithNotes(row));
        out += QLatin1String("<BR>Found On: <a href='");
        out += url;
        out += QLatin1String("'>");
        out += url;
        out += QLatin1String("</a>");
        if (!row.proof.isEmpty()) {
            out += QLatin1String(" <a href='");
            out += escapeHtml(QUrl::fromLocalFile(row.proof).toString(QUrl::FullyEncoded));
            out += QLatin1String("'>Proof</a>");
        }
        out += QLatin1String("<BR>");
        if (anchorTexts && !row.anchor.isEmpty()) {
            out += QLatin1String("Anchor: ");
            out += escapeHtml(row.anchor);
            out += QLatin1String("<BR>");
        }
    } else if (containsNoCase(row.status, kNoneFound)) {
        out += QLatin1String("Status: ");
        out += escapeHtml(statusWithNotes(row));
        out += QLatin1String("<BR>");
    }
    out += QLatin1String("<BR>");
}

// "Changes since" and the previous run's date, then the lost and the new links.
QString changesSection(const ReportChanges &changes, const QLocale &locale)
{
    const QDateTime since = changes.since.toLocalTime();
    QString out = QLatin1String("<h1>Changes since ") + locale.toString(since.date(), QLocale::ShortFormat)
                + QLatin1Char(' ') + clockText(since.time(), locale) + QLatin1String("</h1>") + kCrLf;
    const auto list = [&out](const char *caption, const char *foundOn, const QList<ReportChanges::Link> &links,
                             const char *explanation = nullptr) {
        out += QLatin1String("<b>") + QLatin1String(caption) + QLatin1String("</b>");
        if (explanation)
            out += QLatin1String(": ") + QLatin1String(explanation);
        out += QLatin1String("<BR>") + kCrLf;
        if (links.isEmpty())
            out += QLatin1String("None<BR>") + kCrLf;
        for (const ReportChanges::Link &l : links) {
            const QString site = escapeHtml(l.linkingSite);
            const QString url = escapeHtml(l.url);
            out += QLatin1String("Site: <a href='") + site + QLatin1String("'>") + site + QLatin1String("</a><BR>");
            out += QLatin1String("Main Site: ") + escapeHtml(l.mainSite) + QLatin1String("<BR>");
            out += QLatin1String("Status: ") + escapeHtml(l.status) + QLatin1String("<BR>");
            out += QLatin1String(foundOn) + QLatin1String(": <a href='") + url + QLatin1String("'>") + url
                 + QLatin1String("</a><BR>") + kCrLf;
        }
        out += QLatin1String("<BR>") + kCrLf;
    };
    list("Lost Links", "Was Found On", changes.lost);
    // The two kinds that are no verdict yet show only when there are some.
    if (!changes.possiblyLost.isEmpty())
        list("Possibly lost", "Was Found On", changes.possiblyLost,
             "not found, but not yet by enough checks in a row to count as lost");
    list("New Links", "Found On", changes.added);
    if (!changes.notChecked.isEmpty())
        list("Not checked", "Last Found On", changes.notChecked,
             "the page could not be read; the next scan compares it with its last check");
    return out;
}

} // namespace

ReportFigures reportFigures(const Project &project, qint64 pagesScanned)
{
    ReportFigures f;
    f.mainSites = project.mainSiteCount();
    f.linkingSites = project.linkingSiteTotal();
    f.pages = pagesScanned;
    for (const LinkResult &row : project.results()) {
        if (row.status == kDirect)
            ++f.direct;
        else if (row.status == kIndirect)
            ++f.indirect;
        else if (row.status == kRedirect)
            ++f.redirect;
        else if (containsNoCase(row.status, kNoneFound))
            ++f.nonLinking;
        if (passesNoValue(row))
            ++f.passNoValue;
    }
    f.reciprocal = f.direct + f.indirect + f.redirect;
    f.errors = int(project.errors().size());
    return f;
}

QString reportKey(const QString &url)
{
    return hostOfCopy(stripSchemes(url));
}

QString formatReportNumber(double value, const QLocale &locale)
{
    return locale.toString(value, 'f', 2);
}

QString buildReportHtml(const Project &project, qint64 pagesScanned, const QDateTime &now,
                        const QLocale &locale, const ReportChanges *changes)
{
    const ReportFigures f = reportFigures(project, pagesScanned);
    const auto row = [](const char *label, qint64 figure) {
        return QStringLiteral("<tr><td>%1</td><td> %2</td></tr>\r\n")
            .arg(QLatin1String(label), QString::number(figure));
    };

    QString html;
    html.reserve(4096 + int(project.results().size()) * 160);
    html += QLatin1String("<html>\r\n<head>\r\n<title>Reciprocal Link Report</title>\r\n<body>\r\n"
                          "<H1>Reciprocal Link Report</H1>\r\n");
    html += QLatin1String("Date: ") + locale.toString(now.date(), QLocale::ShortFormat)
          + QLatin1String("<BR>") + kCrLf;
    html += QLatin1String("Time: ") + clockText(now.time(), locale) + QLatin1String("<BR><BR>") + kCrLf;
    html += QLatin1String("<hr>\r\n<table cellpadding=5 border=0>\r\n");
    html += QLatin1String("<tr><td colspan=2><b>Overview</b></td></tr>");
    html += row("Total Main Sites:", f.mainSites);
    html += row("Total Linking Sites:", f.linkingSites);
    html += row("Total Pages Scanned:", f.pages);
    html += row("Total Reciprocal Links:", f.reciprocal);
    html += row("<li>Direct Links</li>", f.direct);
    html += row("<li>Indirect Links</li>", f.indirect);
    html += row("<li>Redirect Links</li>", f.redirect);
    // Only a report with such links has the line: one without stays as it was.
    if (f.passNoValue > 0)
        html += row("Links that pass no value:", f.passNoValue);
    html += row("Total Non-Linking Sites:", f.nonLinking);
    html += row("Total Errors:", f.errors);
    html += QLatin1String("<tr><td colspan=2>&nbsp</td></tr>");
    html += QLatin1String("<tr><td colspan=2><b>Percentages/Averages</b></td></tr>");

    // The average divides by the classified result rows, not by the Linking Sites.
    const qint64 classified = qint64(f.reciprocal) + f.nonLinking;
    if (classified > 0) {
        const double s = double(classified);
        html += QLatin1String("<tr><td>Sites with Reciprocal Links:</td><td>")
              + formatReportNumber(f.reciprocal / s * 100.0, locale) + QLatin1String("%</td></tr>") + kCrLf;
        html += QLatin1String("<tr><td>Sites with No Links:</td><td>")
              + formatReportNumber(f.nonLinking / s * 100.0, locale) + QLatin1String("%</td></tr>") + kCrLf;
        html += QLatin1String("<tr><td>Average Pages Scanned Per Site:</td><td>")
              + formatReportNumber(double(f.pages) / s, locale)
              + QLatin1String("</td></tr></table><BR><BR>") + kCrLf;
    } else {
        html += QLatin1String("<tr><td>Sites with Reciprocal Links:</td><td>0%</td></tr>\r\n"
                              "<tr><td>Sites with No Links:</td><td>100%</td></tr>\r\n"
                              "<tr><td>Average Pages Scanned Per Site:</td><td>0</td></tr></table><BR><BR>\r\n");
    }

    if (changes)
        html += changesSection(*changes, locale);
    html += QLatin1String("<h1>Main Site Specific Overviews</h1>\r\n");

    // Every row of one key, in results order, is what each Linking Site of
    // that key shows: group once instead of comparing every site with every row.
    const QList<LinkResult> &results = project.results();
    const bool anchorTexts = SettingsStore::instance().readFlag(Keys::chkAnchorText, true);
    QHash<QString, QString> entriesByKey;
    entriesByKey.reserve(results.size());
    for (const LinkResult &r : results) {
        const QString key = reportKey(r.remoteSite);
        QString &entries = entriesByKey[key];
        appendEntry(entries, escapeHtml(key), r, anchorTexts);
    }

    for (const MainSite &main : project.mainSites()) {
        html += QLatin1String("<h3>") + escapeHtml(main.url) + QLatin1String("</h3>") + kCrLf;
        for (const LinkingSite &site : main.linkingSites) {
            const auto it = entriesByKey.constFind(reportKey(site.url));
            if (it != entriesByKey.constEnd())
                html += it.value();
        }
    }
    return html;
}

QString reportFilePath()
{
    return ProgramFolder::filePath(QStringLiteral("tempreport.html"));
}

QString writeReportFile(const QString &html, FileFailure *failure)
{
    const QString path = reportFilePath();
    if (!replaceTextFile(path, html + kCrLf, failure))
        return QString();
    return path;
}

QString buildReport(const Project &project, qint64 pagesScanned, FileFailure *failure, const ReportChanges *changes)
{
    return writeReportFile(buildReportHtml(project, pagesScanned, QDateTime::currentDateTime(), QLocale::system(), changes),
                           failure);
}

ReportSaveOutcome saveReportAs(const QString &chosenName, const OverwriteQuestion &askOverwrite)
{
    ReportSaveOutcome out;
    static_cast<SaveOutcome &>(out) = prepareSaveTarget(chosenName, QStringLiteral(".htm"), askOverwrite);
    if (out.kind != SaveOutcome::Saved)
        return out;

    // A byte copy that replaces a file of the longer name as well.
    QFile source(reportFilePath());
    if (!source.open(QIODevice::ReadOnly))
        return out;
    const QByteArray bytes = source.readAll();
    QFile target(out.path);
    if (target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        out.copied = target.write(bytes) == bytes.size();
    return out;
}
