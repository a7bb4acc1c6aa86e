#pragma once

#include "model/ProjectTypes.h"
#include "net/SecureHosts.h"
#include "scan/LinkNotes.h"
#include "scan/PageLinkNotes.h"
#include "scan/ScanFrontEnd.h"
#include "scan/ScanSession.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>

#include <QList>
#include <QPair>

#include <functional>
#include <memory>

class AnalysisGate;
class CacheLineReader;
class ScanCoordinator;
class HttpFetcher;
class Project;
class RobotsCache;

// The scan engine: walks the Main Sites and their Linking Sites, spiders each
// Linking Site breadth-first one page at a time on the Qt event loop, and
// records link rows, closing rows and page errors in the project.
// (Public surface first; the implementation owns the rest.)
class ScanEngine : public QObject
{
    Q_OBJECT
public:
    ScanEngine(Project &project, ScanFrontEnd &frontEnd, QObject *parent = nullptr);
    ~ScanEngine() override;

    void setPort(quint16 port);          // 80 unless a test serves elsewhere
    quint16 port() const;
    void setTlsPort(quint16 port);       // 443 unless a test serves elsewhere
    quint16 tlsPort() const;
    void setPageLimit(int pages);        // from cmbAdvance through the page-limit list
    int pageLimit() const;
    void setScanType(int type);          // the checked "Scan Type" item: 0, 1 or 2
    int scanType() const;
    void setSkipType(int type);          // 0 the current Linking Site, 1 the current Main Site
    int skipType() const;

    bool isScanning() const;
    const ScanStatistics &statistics() const;
    void resetStatistics();              // the current run's counters (start-up)

    // Read-only view of the running scan's state (queue, counters, notes).
    const ScanSession &session() const { return m_session; }

    // Feeds a page text to the analysis of the running site as if the fetcher
    // had just handed it over (the page context stays that of the last fetch).
    // Does nothing while no scan runs or the site only waits for robots.txt.
    void analysePageText(const QString &pageText);

    // How the target of a redirect page is fetched: the fetch slot's whole-page
    // download unless replaced by one that answers at once (a fuzz run that
    // must stay off the network).
    using RedirectDownload = std::function<QString(QString &url)>;
    void setRedirectDownload(RedirectDownload download) { m_redirectDownload = std::move(download); }
    const RedirectDownload &redirectDownload() const { return m_redirectDownload; }

    // Makes this engine scan one Linking Site beside others: its own cache
    // files, analyses that take turns through the gate, no sounds and no
    // settings writes, the secure hosts the scan knew when it started, and a
    // record of its rules.log entries and seen-page questions, which the
    // coordinator commits or uses to decide that the site must be redone.
    // The Linking Site URLs of the Main Site as the seen-page test keys them,
    // with how many rows have each; kept by the coordinator as sites commit.
    using RowKeyCounts = QHash<QString, int>;
    void becomeSiteWorker(int cacheSlot, AnalysisGate *gate, const SecureHosts &knownSecureHosts,
                          const RowKeyCounts *rowKeys);
    // Whether a Linking Site other than this worker's own has the key.
    static bool otherRowHas(const RowKeyCounts &rowKeys, const QString &ownKey, const QString &key);
    // The key a Linking Site URL has in the seen-page test.
    static QString rowSeenKey(const QString &linkingSiteUrl);
    // Where robots.txt files are read for the link notes: the engine's own
    // cache unless one shared by several engines is given (nullptr goes back
    // to the own one). The engine clears only its own cache when a scan
    // starts; a shared one is cleared by its owner.
    void setRobotsCache(RobotsCache *cache);
    RobotsCache *robotsCache() const { return m_robots; }

public slots:
    void startScan();
    void stopScan();
    void skipCurrent();
    void shutdown();                     // at exit: not running, every connection closed

private:
    friend class ScanCoordinator;
    enum class Counter { MainSites, LinkingSites, PagesScanned, PagesFound, LinksFound };

    // driver (ScanDriver.cpp)
    void dispatchPage(int slot);
    void dispatchOnce(int slot);
    void finishSite();
    void moveOnAsAllMainSites();
    void moveToNextMainSite();
    void moveToNextLinkingSite();
    void startLinkingSite();
    void enqueue(const QString &url);
    QString popQueue();
    void clearQueue();

    // What the link notes and anchor texts read of one page: its text before
    // anchor normalisation, the head it came with and where the anchor under
    // examination has its "href=". Notes are off when chkLinkNotes is "0",
    // anchor texts when chkAnchorText is.
    struct PageNotes
    {
        bool on = false;
        bool anchors = false;
        QString original;
        QByteArray head;
        qsizetype hrefAt = -1;
        qsizetype searchFrom = 0;
        bool pageRead = false;
        PageLinkNotes page;
        void nextAnchor();
        LinkNotes::Flags flagsOfLink(const QString &pageUrl);
        QString anchorText() const;
    };
    // A link row whose robots.txt was not yet read when it was recorded.
    struct RobotsPending
    {
        QString key;
        QString path;
        LinkNotes::Flags flags = LinkNotes::None;
        LinkResult row; // as appended, to find it again in a list the user may sort
    };

    // page intake and analysis (PageAnalysis.cpp)
    void pageIntake(QString text, int slot);
    void analysePage(const QString &text, PageNotes &notes, int slot, quint64 generation);
    enum class AnchorStep { Next, EndPage, Abandon };
    AnchorStep examineAnchor(const QString &line, PageNotes &notes, quint64 generation);
    void followRedirect(const QString &markerLine, CacheLineReader &reader, quint64 generation);
    void redirectTargetArrived(const QString &page);
    void endOfPage(int slot, quint64 generation);
    bool passesPageTypeFilter(const QString &target) const;
    bool isDirectLink(const QString &url) const;
    bool isDomainLink(QString &url) const;
    bool isSameSite(const QString &url) const;
    bool isSeenPage(QString &url);
    void recordLink(const QString &status, PageNotes &notes);

    // robots.txt of the link rows (LinkRobots.cpp)
    LinkNotes::Flags robotsFlagsOrPending(LinkNotes::Flags flags, const LinkResult &row);
    void applyKnownRobots();
    bool awaitRobots();
    void robotsArrived(quint64 generation);
    void resetRobotsWait();
    bool robotsUnderWay() const;

    void analyseInTurn(std::function<void()> analysis);
    void startSitesSideBySide(int mainPos, int row, int sitesAtOnce);

    // rules (ScanRules.cpp holds the rule logic)
    bool passesRulesNow(const QString &url) const;

    // outcome (SiteOutcome.cpp)
    void recordSiteOutcome();

    // statistics and idle time-out (ScanCounters.cpp, IdleTimeout.cpp)
    void bumpStatistic(Counter counter);
    void storeAllRunsCounters();
    void onIdleTick(int slot);
    // A page still arriving after this many times the time-out ends as a time-out.
    static constexpr qint64 kPageTimeOutFactor = 10;

    // shared helpers (ScanEngine.cpp)
    void setStatus(int panel, const QString &text);
    bool stillCurrent(quint64 generation) const;
    int currentRow() const;
    QString currentLinkingSiteUrl() const;
    void noteSecureSite(const QString &linkingSiteUrl);
    QString siteUrlAfterUpdate(const QString &pageUrl) const;

    Project &m_project;
    ScanFrontEnd &m_frontEnd;
    HttpFetcher *m_fetcher;
    ScanSession m_session;
    SecureHosts m_secureHosts;            // for the whole scan
    ScanStatistics m_stats;
    int m_pageLimit = 500;
    int m_scanType = 0;
    int m_skipType = 0;
    QString m_firstLinkStatus;            // what a site with links "ended with"
    QString m_cachePath, m_strippedCachePath;
    RedirectDownload m_redirectDownload;
    RobotsCache *m_ownRobots;
    RobotsCache *m_robots;
    QList<RobotsPending> m_robotsPending; // of the current site
    bool m_awaitingRobots = false;        // the site waits for them before it ends
    bool m_dispatching = false;   // a dispatch is under way on the stack
    bool m_dispatchAgain = false; // and another was asked for inside it
    // The current Main Site's Linking Site URLs as the seen-page test compares
    // them; rebuilt after any change to the rows.
    QSet<QString> m_rowKeys;
    int m_rowKeysMain = -1;
    bool m_rowKeysDirty = true;
    static constexpr int kAllRunsWriteIntervalMs = 1000;
    bool m_allRunsPending = false;
    QElapsedTimer m_allRunsClock;

    // several sites at once (ScanCoordinator.cpp)
    std::unique_ptr<ScanCoordinator> m_coordinator;
    bool m_siteWorker = false;
    int m_cacheSlot = 0;
    AnalysisGate *m_gate = nullptr;
    mutable QList<QPair<QString, Rule>> m_pendingRuleLog;
    const RowKeyCounts *m_sharedRowKeys = nullptr;
    QString m_ownRowKey;                  // this site's row as the scan began it
    QHash<QString, bool> m_seenAnswers;   // key -> whether another row had it
    bool m_seenAnswersVaried = false;     // a key was answered both ways
};
