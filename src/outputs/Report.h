#pragma once

#include "outputs/SaveTarget.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

class Project;

// The "Reciprocal Link Report": totals, percentages and, Main Site by Main
// Site, what the last scan found for each Linking Site. Both front ends build
// it with this code; the window shows the written file, the headless scanner
// copies it.

struct ReportFigures
{
    int mainSites = 0;
    int linkingSites = 0;
    qint64 pages = 0;
    int direct = 0;
    int indirect = 0;
    int redirect = 0;
    int reciprocal = 0; // direct + indirect + redirect
    int nonLinking = 0; // none of the three and "None Found" in any case
    int errors = 0;
    int passNoValue = 0; // rows with link notes
};

ReportFigures reportFigures(const Project &project, qint64 pagesScanned);

// The key by which Linking Sites and result rows are matched: schemes (any
// case) removed, then the host as hostOf gives it.
QString reportKey(const QString &url);

// A figure with exactly two decimals in the locale's number format (decimal
// symbol, digit grouping, leading zero).
QString formatReportNumber(double value, const QLocale &locale);

// The changes since the previous run of the scan history, shown in a section
// of their own before the Main Site overviews: links lost, links not found
// but not yet counted as lost, new links, and partners whose page could not
// be read although they linked at their last check.
struct ReportChanges
{
    struct Link
    {
        QString mainSite;
        QString linkingSite;   // the Linking Site's host
        QString status;        // its status now
        QString url;           // where the link is found (new) or was at the last check that found it
    };
    QDateTime since;           // the previous run's start
    QList<Link> lost;
    QList<Link> possiblyLost;
    QList<Link> added;
    QList<Link> notChecked;
};

// The report HTML. Dates, times and numbers follow `locale` (the user's
// regional settings by default). Text from the project or a scan is escaped.
// Without changes the report is what it always was. While chkAnchorText is
// "1", a link with an anchor text shows it in a line "Anchor: " after its
// "Found On".
QString buildReportHtml(const Project &project, qint64 pagesScanned, const QDateTime &now,
                        const QLocale &locale = QLocale::system(), const ReportChanges *changes = nullptr);

// tempreport.html in the program folder.
QString reportFilePath();

// Replaces tempreport.html with the HTML and one CR LF. Returns the file's full
// path, or "" when it cannot be written (the failure in `failure`); the caller
// goes on with its own work either way.
QString writeReportFile(const QString &html, FileFailure *failure = nullptr);

// Builds the report for now and writes it: what a scan stop and a project
// read do. Returns the path to show, or "" when the file could not be written.
QString buildReport(const Project &project, qint64 pagesScanned, FileFailure *failure = nullptr,
                    const ReportChanges *changes = nullptr);

// "Save Report As" after the dialog: the shared save rules with ".htm", then a
// byte copy of tempreport.html. A copy that fails (no report built yet) is
// ignored, as the command always did; `copied` in the result tells.
struct ReportSaveOutcome : SaveOutcome
{
    bool copied = false;
};
ReportSaveOutcome saveReportAs(const QString &chosenName, const OverwriteQuestion &askOverwrite);

// The save dialog's filter, verbatim: description, "|", patterns.
inline const QString kReportSaveFilter = QStringLiteral("HTML Files (*.htm, *.html)|*.htm,*.html");
