#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// What the history keeps of one Linking Site in one run. A Linking Site is
// known across runs by its Main Site and its entry in the project: the URL
// it began the run with, and the URL a scan put in its place (chkUpdate), so
// that the next run, saved or not, finds the same partner (see HistoryKeys.h).
struct SiteRecord
{
    QString mainSite;      // the normalised Main Site, as the rows carry it
    QString host;          // the Linking Site's host, as the rows carry it
    QString entryUrl;      // the Linking Site's URL as the run began it
    QString url;           // its URL in the project when the scan ended
    QString status;        // the status of its leading row: its first link, else its first row
    int links = 0;         // its link rows (Direct, Domain and Redirect Link)
    QString missing;       // the "Missing NNN" closing row, "" without one
    QString foundOn;       // the URL of the leading row: where the first link was found
    QString notes;         // the link notes of the leading row
    QString anchor;        // the words of the leading link, "" when not read
    QString proof;         // the picture of the link's page, "" for none
    QString errors;        // the site's rows of the errors list: error, tab, URL; one a line
    // Its start page was read: the run can say whether the link is there.
    // A site not checked (a time-out, a refusal, a 5xx, a Skip, a Stop…) is
    // neither lost nor found; the next run compares it with its last check.
    bool checked = true;
    bool skipped = false;  // ended "None Found (Skipped)"
    QString reason;        // the text in parentheses of its "None Found" row, or ""

    bool hasLink() const { return links > 0; }
};

struct RunInfo
{
    qint64 id = 0;
    QDateTime started;     // UTC
    QDateTime finished;    // UTC
    int scanType = 0;      // 0 all Main Sites, 1 the selected Main Site, 2 the selected Linking Site
    QString settings;      // the settings in effect: KEY=VALUE, one a line
};

struct RunRecord
{
    RunInfo info;
    QList<SiteRecord> sites;
};

// In the order the lists show them: what needs the user first.
enum class ChangeKind { Lost, PossiblyLost, New, Moved, NotesChanged, AnchorChanged, NotChecked };

inline constexpr ChangeKind kAllChangeKinds[] = {ChangeKind::Lost,         ChangeKind::PossiblyLost,
                                                 ChangeKind::New,          ChangeKind::Moved,
                                                 ChangeKind::NotesChanged, ChangeKind::AnchorChanged,
                                                 ChangeKind::NotChecked};

// One Linking Site whose links changed since it was last checked, or whose
// page could not be read this time although it linked at its last check.
struct SiteChange
{
    ChangeKind kind = ChangeKind::Lost;
    SiteRecord before;          // empty when the site was never checked before
    bool checkedBefore = false;
    qint64 beforeRun = 0;       // the run `before` comes from
    QDateTime beforeStarted;    // when that run started (UTC)
    SiteRecord now;
};

// The changes of one run against the runs before it.
struct RunChanges
{
    qint64 runId = 0;
    // The latest earlier run any of this run's Linking Sites is compared
    // with; 0 when there is none (the first run of these Main Sites).
    qint64 previousRunId = 0;
    QDateTime previousStarted;  // UTC
    QList<SiteChange> changes;

    bool hasPrevious() const { return previousRunId != 0; }
    int count(ChangeKind kind) const;
};

// One run of a Main Site in the chart.
struct ChartPoint
{
    qint64 runId = 0;
    QDateTime started;          // UTC
    int links = 0;              // reciprocal links (link rows) of the Main Site's checked sites
    int nonLinking = 0;         // its checked Linking Sites without a link
};

// One Linking Site in one run, for its status run by run.
struct SiteRunEntry
{
    RunInfo run;
    SiteRecord record;
};

inline int RunChanges::count(ChangeKind kind) const
{
    int n = 0;
    for (const SiteChange &c : changes)
        n += c.kind == kind ? 1 : 0;
    return n;
}
