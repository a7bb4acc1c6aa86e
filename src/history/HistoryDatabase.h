#pragma once

#include "history/HistoryTypes.h"

#include <QString>

class QSqlDatabase;

// The history of a project's scans in one SQLite file, through Qt SQL. Every
// run is written in one transaction: a crash, a kill or a full disk in the
// middle leaves the runs before it whole and no part of the broken one.
// Several readers and writers (the window, a scheduled reciplex-scan) may
// share the file; a writer waits for another's transaction to end.
class HistoryDatabase
{
public:
    // Opens the file, creating it and bringing an older schema up to date.
    explicit HistoryDatabase(const QString &path);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase &) = delete;
    HistoryDatabase &operator=(const HistoryDatabase &) = delete;

    // Qt's SQLite driver is a plug-in of its own package.
    static bool driverAvailable();

    bool isOpen() const { return m_open; }
    QString errorText() const { return m_error; }
    QString path() const { return m_path; }

    // Stores the run and its sites; returns the new run's id, 0 on failure
    // (the reason in errorText()), when nothing of the run is kept.
    qint64 storeRun(const RunRecord &run);

    QList<RunInfo> runs() const;
    qint64 latestRunId() const;

    // Each Linking Site of the run against its latest earlier checked record
    // (and, for a link not seen, against the last check that saw it). A site
    // the run could not check is only named when it linked at its last check.
    RunChanges changesOf(qint64 runId) const;

    // The Main Site's reciprocal links and non-linking sites, run by run.
    QList<ChartPoint> chart(const QString &mainSite) const;

    // One Linking Site of a Main Site, by its URL in the project, run by run,
    // oldest first; with the records an older version kept for its host.
    QList<SiteRunEntry> siteHistory(const QString &mainSite, const QString &linkingSiteUrl) const;

private:
    QSqlDatabase db() const;
    void fail(const QString &text) const { m_error = text; }

    QString m_path;
    QString m_connection;
    bool m_open = false;
    mutable QString m_error;
};
