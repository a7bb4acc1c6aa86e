#pragma once

#include "net/SecureHosts.h"
#include "scan/AnalysisGate.h"
#include "scan/ScanPlan.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>

#include <deque>
#include <map>

class ScanEngine;
class SiteWorker;

// Runs several Linking Sites of a scan at once, each in a SiteWorker of its
// own, and commits their rows to the project in the order a scan of one site
// at a time would have written them. A site is started ahead only while it
// cannot change what an earlier one sees; when an earlier site's URL update or
// secure-host discovery would have changed a finished site's pages, that site
// is scanned again. Sites of the same host take turns.
class ScanCoordinator
{
public:
    explicit ScanCoordinator(ScanEngine &engine);
    ~ScanCoordinator();

    void start(PlannedSite first, int scanType, int sitesAtOnce);
    bool isRunning() const { return m_running; }
    // Ends the earliest unfinished site as Skip ends a site.
    void skipHead();
    // Stop: the earliest site keeps what it found so far, the others are dropped.
    // False while the coordinator is busy further up the stack: it stops when done.
    bool stopAll();
    void abandon();   // at exit: nothing more is committed
    // A page text for the earliest unfinished site, as if its fetch had brought it.
    void analyseAtHead(const QString &pageText);

    // for the workers
    ScanEngine &engine() { return m_engine; }
    AnalysisGate &gate() { return m_gate; }
    const SecureHosts &knownSecureHosts() const;
    // The seen-page keys of a Main Site's Linking Sites as committed so far.
    const QHash<QString, int> &rowKeys(int main);
    void workerStopped(SiteWorker *worker);
    void workerCounted();
    void headStatus(int panel, const QString &text);

private:
    struct Entry
    {
        PlannedSite site;
        SiteWorker *worker = nullptr;
        bool skipped = false;
    };

    void advance();
    void extendWindow();
    void startWaitingSites();
    SiteWorker *startWorker(Entry &entry);
    bool commitFinishedHead();
    bool needsRedo(SiteWorker &worker) const;
    void commitWork(SiteWorker &worker, bool finished);
    void redoHead();
    void followSkip(const Entry &skipped);
    void announceHead();
    void dropWorker(Entry &entry);
    void dropEntriesAfterHead();
    int runningCount() const;
    int freeCacheSlot() const;
    void showSitesInFlight();
    // Committed counts and those of the sites under way; at most ten times a second unless now.
    void showStatistics(bool now, const SiteWorker *committed = nullptr);
    void concludeIfDone();

    ScanEngine &m_engine;
    AnalysisGate m_gate;
    ScanPlan *m_plan = nullptr;
    std::deque<Entry> m_window;        // from the earliest uncommitted site on, in plan order
    PlannedSite m_lastPlanned;
    bool m_planEnded = false;
    int m_sitesAtOnce = 1;
    int m_lookahead = 1;
    bool m_running = false;
    bool m_advancing = false;
    bool m_advanceAgain = false;
    bool m_stopRequested = false;
    bool m_firstHead = true;
    PlannedSite m_announced;           // the site the front end was last told is current
    // By Main Site: key -> rows that have it. The workers read them where
    // they are, so the map keeps its elements in place.
    std::map<int, QHash<QString, int>> m_rowKeys;
    QElapsedTimer m_statsShown;
};
