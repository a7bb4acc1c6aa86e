#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// What the history keeps of one Linking Site in one run. A Linking Site is
// known across runs by its Main Site (normalised, as the result rows carry
// it) and its host (the rows' remoteSite), both compared without regard to
// case: the Linking Site's URL may be replaced during a scan (chkUpdate) or
// edited by hand, its host stays.
struct SiteRecord
{
    QString mainSite;      // the normalised Main Site of the rows
    QString host;          // the Linking Site's host, as the rows carry it
    QString url;           // the Linking Site's URL in the project when the scan ended
    QString status;        // the status of the site's first row
    int links = 0;         // its link rows (Direct, Domain and Redirect Link)
    QString missing;       // the "Missing NNN" closing row, "" without one
    QString foundOn;       // the URL of the first row: where the first link was found
    QString notes;         // the link notes of the first row
    QString errors;        // the site's rows of the errors list: error, tab, URL; one a line
    bool skipped = false;  // ended "None Found (Skipped)": not checked in this run

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

enum class ChangeKind { Lost, New, Moved, NotesChanged };

// One Linking Site whose links changed since it was last checked.
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
    int links = 0;              // reciprocal links (link rows) of the Main Site's sites
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
