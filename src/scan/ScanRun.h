#pragma once

#include "net/SecureHosts.h"
#include "scan/CommitSequencer.h"
#include "scan/ScanFrontEnd.h"
#include "scan/ScanPlan.h"
#include "scan/SeenPageLedger.h"
#include "scan/SiteScan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <deque>
#include <memory>

class HostScheduler;
class PageRenderer;
class Project;
class QTemporaryDir;
class RobotsCache;

// One scan of the project: the Linking Sites in the order of the one-site
// scan (ScanPlan), several of them at once (SitesAtOnce), each a SiteScan of
// its own, and what they find applied to the project in that order
// (CommitSequencer), whatever order they finish in. It owns Stop and Skip and
// is the only part of the scan the front ends reach.
//
// A site started ahead of its turn saw the Linking Site URLs and secure
// hosts committed when it asked. When it becomes the earliest unfinished
// site (the head) and an earlier site's commit since then changed what it
// relied on, it is scanned again at once, as the head: nothing commits
// before the head, so a site redone there is exact. From then on the head's
// rows reach the project as they are found.
class ScanRun : public QObject, private SiteScanHost
{
    Q_OBJECT
public:
    ScanRun(Project &project, ScanFrontEnd &frontEnd, QObject *parent = nullptr);
    ~ScanRun() override;

    void setPort(quint16 port) { m_port = port; }          // 80 unless a test serves elsewhere
    quint16 port() const { return m_port; }
    void setTlsPort(quint16 port) { m_tlsPort = port; }    // 443 unless a test serves elsewhere
    quint16 tlsPort() const { return m_tlsPort; }
    void setPageLimit(int pages) { m_pageLimit = pages; }  // from cmbAdvance through the page-limit list
    int pageLimit() const override { return m_pageLimit; }
    void setScanType(int type) { m_scanType = type; }      // the checked "Scan Type" item: 0, 1 or 2
    int scanType() const { return m_scanType; }
    void setSkipType(int type) { m_skipType = type; }      // 0 the current Linking Site, 1 the current Main Site
    int skipType() const { return m_skipType; }

    bool isScanning() const { return m_running; }
    const ScanStatistics &statistics() const { return m_stats; }
    void resetStatistics(); // the current run's counters (start-up)
    // What the running (or last) scan took when it started.
    int scanTypeInEffect() const { return m_scanTypeInEffect; }
    int timeOutInEffect() const { return m_timeOut; }

    // Where robots.txt files are read for the link notes: one per scan,
    // emptied at every start.
    RobotsCache *robotsCache() const { return m_robots; }
    // The connections of the scan by host (for a test or a benchmark).
    const HostScheduler &hostScheduler() const { return *m_scheduler; }
    // A run without the network (a fuzz target): sites take their steps at
    // once and the targets of redirect pages come from the given function.
    void setRedirectDownload(SiteScan::RedirectDownload download) { m_redirectDownload = std::move(download); }
    // Where proof pictures of links go when ProofShots is on ("" none).
    void setProofFolder(const QString &folder) { m_proofFolder = folder; }
    // The program that draws pages as a browser would (tests).
    void setRenderProgram(const QString &program) { m_renderProgram = program; }

public slots:
    void startScan();
    void stopScan();
    void skipCurrent();
    void shutdown(); // at exit: not running, every connection closed

private:
    struct Entry
    {
        explicit Entry(PlannedSite planned) : site(planned) {}
        PlannedSite site;
        SiteScan *scan = nullptr;
        CommitSequencer::Applied applied;
        bool exact = false;       // checked as the head: what it finds is final
        bool skipped = false;
        bool soundPlayed = false; // the found-link sound of a site that found links ahead
        bool warmed = false;      // its first page's connection was opened ahead
        QString spilledPage;      // the last page of a finished site kept on disk meanwhile
    };

    // SiteScanHost
    void siteStatus(const SiteScan &site, int panel, const QString &text) override;
    void siteProgress(const SiteScan &site, int percent) override;
    void siteQueueChanged(const SiteScan &site, QueueChange change, const QString &url) override;
    void siteRecordGrew(const SiteScan &site) override;
    void siteFoundLink(const SiteScan &site) override;
    void siteFinished(const SiteScan &site) override;
    void siteResting(const SiteScan &site) override;
    bool siteMayGoOn(const SiteScan &site) const override;
    bool otherRowHas(int main, int row, const QString &key) override;
    PageRenderer *renderer() override;
    QString proofFolder() const override { return m_proofFolder; }

    bool isHead(const SiteScan &site) const;
    void requestAdvance();
    void advance();
    bool settleHead();
    void commitFinishedHead();
    void followSkip(PlannedSite skipped);
    void extendWindow();
    void startWaitingSites();
    void warmSitesAhead(QSet<QString> busyHosts);
    bool startSite(Entry &entry, bool asHead);
    void retire(Entry &entry);
    void announceHead();
    void drainHead();
    void keepLastPage(Entry &entry);
    QString takeLastPage(Entry &entry);
    void stopNow();
    void concludeIfDone();
    SiteConclusion conclusionOf(const Entry &entry) const;
    void showStatistics(bool now);
    void showSitesInFlight();
    void storeAllRunsCounters();
    int runningCount() const;
    bool rowExists(PlannedSite site) const;
    static QString politeHostKey(const QString &url);

    Project &m_project;
    ScanFrontEnd &m_frontEnd;
    HostScheduler *m_scheduler;
    RobotsCache *m_robots;
    SeenPageLedger m_ledger;
    SecureHosts m_secureHosts; // committed for the whole scan
    ScanStatistics m_stats;
    CommitSequencer m_sequencer;
    std::unique_ptr<ScanPlan> m_plan;
    std::deque<Entry> m_window; // from the head on, in plan order
    PlannedSite m_lastPlanned;
    bool m_planEnded = false;
    PlannedSite m_announced;
    bool m_firstHead = true;

    quint16 m_port = 80;
    quint16 m_tlsPort = 443;
    int m_pageLimit = 500;
    int m_scanType = 0;
    int m_skipType = 0;
    int m_scanTypeInEffect = 0;
    int m_timeOut = 60;
    int m_sitesAtOnce = 1;
    int m_windowLimit = 1;
    QStringList m_fileTypes;
    SiteScan::RedirectDownload m_redirectDownload;
    QString m_proofFolder;
    QString m_renderProgram;
    PageRenderer *m_renderer = nullptr; // started on the first page to draw

    bool m_running = false;
    int m_busy = 0;             // ScanRun's own steps on the stack
    bool m_advancePosted = false;
    bool m_drainPosted = false;
    bool m_stopPending = false;
    bool m_skipPending = false;
    QElapsedTimer m_statsShown;
    bool m_allRunsPending = false;
    QElapsedTimer m_allRunsClock;
    std::unique_ptr<QTemporaryDir> m_spill;
    qint64 m_spilledBytes = 0;
    int m_spillCount = 0;
};
