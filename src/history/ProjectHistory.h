#pragma once

#include "history/HistoryTypes.h"
#include "outputs/Report.h"

#include <memory>
#include <optional>

class HistoryDatabase;
struct SiteConclusion;

// The history of the project a front end works on: where its database is,
// the run being scanned, storing it when the scan stops, and what the report
// and the status bar say about the changes. A front end without a history
// path (a project never saved) keeps none.
class ProjectHistory
{
public:
    ProjectHistory();
    ~ProjectHistory();

    // The database beside a project file: /path/sites.prj keeps its history in
    // /path/sites.history.sqlite; "" for "".
    static QString pathFor(const QString &projectPath);

    // The database to use; "" for none. The report shows the changes of its
    // latest run until a scan stores a new one.
    void setPath(const QString &historyPath);
    QString path() const { return m_path; }
    bool hasPath() const { return !m_path.isEmpty(); }

    // A scan has passed its start checks: its start time and settings.
    void scanStarted(int scanType);
    // A Linking Site the scan is done with, as the front end heard of it.
    void siteConcluded(const SiteConclusion &site);

    struct Outcome
    {
        bool stored = false;   // false without a path, or with the reason in error
        QString error;
        RunChanges changes;    // of the stored run
    };
    // The scan has stopped: stores one run of the sites it concluded and
    // compares it with the runs before.
    Outcome scanFinished();

    // The changes of the run the report is about, when a previous run exists.
    std::optional<ReportChanges> reportChanges();

    // The database for reading; nullptr when there is none yet (a database
    // is created by the first stored run) or it cannot be opened.
    HistoryDatabase *database();
    // Why the database could not be opened or written last time; "" when it could.
    QString errorText() const { return m_error; }

private:
    HistoryDatabase *open(bool create);

    QString m_path;
    std::unique_ptr<HistoryDatabase> m_db;
    qint64 m_reportRun = -1;   // -1 the latest run, 0 none
    QDateTime m_started;
    int m_scanType = 0;
    QString m_settings;
    QList<SiteRecord> m_sites;
    QString m_error;
};

// The report's view of a run's changes.
ReportChanges reportChangesOf(const RunChanges &changes);
