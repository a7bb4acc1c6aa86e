#pragma once

#include "model/ProjectTypes.h"
#include "net/PageFetcher.h"
#include "net/SecureHosts.h"
#include "scan/LinkNotes.h"
#include "scan/PageQueue.h"
#include "scan/ScanPlan.h"
#include "scan/SiteScanRecord.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class FetchChannel;
class PageRenderer;
struct DownloadResult;
struct RenderResult;
class HostScheduler;
class PageAnalyser;
class RobotsCache;
class SeenPageLedger;
class SiteScan;

// What a Linking Site's scan asks of the scan it belongs to. Calls go one
// way: the scan shows, counts and decides later, from the event loop; it
// never runs a site's code in answer.
class SiteScanHost
{
public:
    enum class QueueChange { Appended, Popped, Cleared };

    virtual ~SiteScanHost() = default;
    virtual void siteStatus(const SiteScan &site, int panel, const QString &text) = 0;
    virtual void siteProgress(const SiteScan &site, int percent) = 0;
    virtual void siteQueueChanged(const SiteScan &site, QueueChange change, const QString &url) = 0;
    // The site's record has new entries (rows, errors, counts …).
    virtual void siteRecordGrew(const SiteScan &site) = 0;
    virtual void siteFoundLink(const SiteScan &site) = 0;
    // The site has finished (by itself or by a Skip): its record is complete.
    virtual void siteFinished(const SiteScan &site) = 0;
    // The site waits a while before it asks again (a retry, a host that asked
    // to wait): it holds no connection meanwhile.
    virtual void siteResting(const SiteScan &site) = 0;
    virtual int pageLimit() const = 0;
    // False once the scan is being stopped: a step under way ends at its next check.
    virtual bool siteMayGoOn(const SiteScan &site) const = 0;
    // Where pages are drawn as a browser draws them; nullptr: nowhere.
    virtual PageRenderer *renderer() = 0;
    // Where proof pictures go ("" for none).
    virtual QString proofFolder() const = 0;
    // The seen-page test: whether another Linking Site row of the Main Site
    // names the page (keyed as SeenPageLedger keys them).
    virtual bool otherRowHas(int main, int row, const QString &key) = 0;
};

// What a Linking Site's scan is given when it starts; nothing of it changes
// under the site afterwards.
struct SiteSetup
{
    PlannedSite site;
    int mainSiteCount = 0;
    QString mainSiteUrl;      // as listed: rules compare it exactly
    QString mainSite;         // normalised: every link test compares against it
    LinkingSite row;          // the Linking Site as the site starts
    QList<Rule> rules;
    QStringList fileTypes;
    int timeOut = 60;         // idle seconds before a page is given up
    int retryDelay = 0;       // seconds before a start page not read is tried once more; 0 never
    // The hosts known to be secure when the site starts: those committed, and
    // those the sites before it have learned so far (checked once they commit).
    SecureHosts secureHosts;
    quint64 ledgerVersion = 0; // of its Main Site's Linking Site URLs, when it starts
    quint16 port = 80;
    quint16 tlsPort = 443;
    bool fetchAhead = false;  // ask for the next queued page while this one comes
};

// One Linking Site as a state machine of its own: its queue, the pages it
// found, its flags and its page in flight. It takes page results and gives
// fetch requests and a SiteScanRecord. It never runs the event loop and never
// calls another site; every event reaches it from the event loop, and one
// that arrives while it is in the middle of a step waits for the step to end.
// A page's analysis runs in slices, so Stop and Skip act at the next anchor.
class SiteScan : public QObject
{
    Q_OBJECT
public:
    // Without a scheduler the site has no network: the answer of each page
    // it asks for is handed in by takePageText() (a test or a fuzz target).
    SiteScan(const SiteSetup &setup, SiteScanHost &host, HostScheduler *scheduler, RobotsCache &robots,
             QObject *parent = nullptr);
    ~SiteScan() override;

    // The request for one of the site's pages, with the scan's settings.
    static PageRequest pageRequest(const SiteSetup &setup, const QString &host, const QString &path, bool secure);
    // The request its first page will make, as far as it can be told before
    // the site starts.
    static PageRequest firstPageRequest(const SiteSetup &setup);

    // The first step comes from the event loop.
    void start();
    // Ends the site as the Skip command does ("Skipped"), now or, in the
    // middle of a step, at the step's next anchor or status.
    void skip();
    // Ends the site where it stands, without a closing row (the Stop command).
    void stop();

    const SiteSetup &setup() const { return m_setup; }
    PlannedSite site() const { return m_setup.site; }
    SiteScanRecord &record() { return m_record; }
    const SiteScanRecord &record() const { return m_record; }
    bool isRunning() const { return m_state == State::Running; }
    bool hasFinished() const { return m_state == State::Finished; }
    // One of its steps is on the stack (a front end lets events run inside a status).
    bool isInStep() const { return m_depth > 0; }
    // Waiting to ask again (a start page tried once more, a host that asked
    // to wait): it holds no connection and need not count as running.
    bool isResting() const { return m_resting; }
    QStringList queueEntries() const { return m_queue.entries(); }
    qint64 pagesStarted() const { return m_pagesStarted; }
    qint64 pagesFoundOnSite() const { return m_pagesFound; }

    // A site scanned ahead of its turn saw the other Linking Site URLs of its
    // Main Site as committed when it asked, and the secure hosts as the sites
    // before it had learned them so far. It stays exact unless the sites
    // before it, all committed, now give another answer to a question that
    // decided what it queued or how it fetched a page.
    bool stillExact(SeenPageLedger &ledger, const SecureHosts &committed) const;
    // The site is the earliest unfinished one: nothing commits before it any
    // more, so what it asks from now on is final.
    void becomeExact() { m_exact = true; }

    // For a run without the network: steps run to their end at once, a page
    // text is taken in as the answer of the page in flight, and redirect
    // targets come from the given function ("" without one).
    void setSynchronous(bool on) { m_synchronous = on; }
    void takePageText(const QString &text);
    using RedirectDownload = std::function<QString(QString &url)>;
    void setRedirectDownload(RedirectDownload download) { m_redirectDownload = std::move(download); }

private:
    enum class State { Idle, Running, Finished, Stopped };
    class Step;

    // driving (SiteScan.cpp)
    void begin();
    void dispatch();
    void fetchEntry(const QString &entry);
    void startFetch();
    void finishSite();
    void doSkip();
    bool interrupted();
    void status(int panel, const QString &text);
    void later(std::function<void()> event);
    void setChannel(FetchChannel *channel);
    void runDeferred();
    void scheduleDeferred();

    // the page in flight (SiteScan.cpp)
    void onConnected(quint64 id);
    void onData(quint64 id, qint64 received, qint32 contentLength);
    void onIdleTick(quint64 id);
    void onPageFinished(quint64 id, const PageResult &result);
    void onDownloaded(quint64 id, const DownloadResult &result);
    void pageError(const QString &text, const QString &url);
    bool fetchAgainSecurely(const QByteArray &head);
    void notReached(const QString &reason, bool mayTryAgain);
    void failStartPage(const QString &reason);
    bool tryStartPageAgainLater();
    bool waitAsAsked(int code, const QByteArray &head);
    bool sentBackToPlainHttp(int code, const QByteArray &head) const;

    // the page's analysis (SiteScanPage.cpp)
    void intake(QString text);
    void analyseSlice();
    enum class AnchorStep { Next, EndPage, Abandon };
    AnchorStep examine(const QString &rawTarget, qsizetype hrefAt);
    void followRedirect(QString url);
    void endOfPage();
    bool passesPageTypeFilter(const QString &target) const;
    bool isDirectLink(const QString &url) const;
    bool isDomainLink(QString &url) const;
    bool isSameSite(const QString &url) const;
    bool isNewPageOfSite(QString &url);
    bool passesRulesNow(const QString &url);
    void recordLink(const QString &status, qsizetype hrefAt);
    void appendLink(const QString &status, const QString &pageUrl, const QString &notes, const QString &anchor);
    void recordSiteOutcome();
    QString siteUrlAfterUpdate(const QString &pageUrl) const;
    void setRowUrl(const QString &url);
    void setRowColour(RowColour colour);
    void enqueue(const QString &url);

    // Pages, downloads and analysis under way no longer count.
    void dropWorkUnderWay();

    // pages drawn by a browser and proof pictures (SiteScanRender.cpp)
    bool awaitRenders();
    void rendered(const RenderResult &result);
    void takeRenderedAnchors(const RenderResult &result, int page);
    void noteStartPage(int code, const QByteArray &head, const QByteArray &body);
    QString pageUrlForBrowser(const QString &hostAndPath, bool secure) const;

    // robots.txt of the link rows (SiteScanRobots.cpp)
    struct NotesSource;
    LinkNotes::Flags robotsFlagsOrPending(LinkNotes::Flags flags, int row, const NotesSource &source);
    void applyKnownRobots();
    bool awaitRobots();
    void robotsArrived(quint64 generation);
    void resetRobotsWait();
    bool robotsUnderWay() const;

    // The page the site last asked for, as the fetch split its entry.
    struct PageContext
    {
        QString strURL, strCurUrl, strCurDir;
        QString host;          // as the entry names it: the page's URL and errors use it
        QString path;
        QString requestHost;   // the host connected to (the https twin after an upgrade)
        bool secure = false;
        bool upgraded = false; // fetched again over TLS after a plain redirect to https
        bool again = false;    // asked for again (rate limited, or a start page not read): counted once
        QByteArray head;
    };
    // Where the page under analysis came from, for its link notes: the page
    // fetched, or the target a redirect page led to.
    struct NotesSource
    {
        QString host;
        bool secure = false;
        QString path;
        QByteArray head;
    };
    NotesSource notesSource() const;
    struct RobotsPending
    {
        QString key;
        QString path;
        LinkNotes::Flags flags = LinkNotes::None;
        int row = -1;
    };

    SiteSetup m_setup;
    SiteScanHost &m_host;
    RobotsCache &m_robots;
    FetchChannel *m_channel = nullptr;
    SiteScanRecord m_record;
    State m_state = State::Idle;
    bool m_begun = false;
    quint64 m_generation = 0;  // changes whenever what is under way stops counting
    int m_depth = 0;           // steps on the stack
    quint64 m_stepGeneration = 0;
    bool m_skipPending = false;
    QList<std::function<void()>> m_deferred;
    bool m_synchronous = false;
    RedirectDownload m_redirectDownload;

    // the site's own state
    QString m_strLinkingSite;  // the row's URL as read; its host once a row is written
    QString m_rowUrl;          // the row's URL now (chkUpdate replaces it)
    qint64 m_linksExpected = 0;
    qint64 m_linksFound = 0;
    qint64 m_linkNumber = 0;
    qint64 m_pagesStarted = 0;
    qint64 m_pagesFound = 0;
    PageQueue m_queue;
    QSet<QString> m_foundPages; // case-folded
    bool m_linkFound = false;
    bool m_mentionSeen = false;
    QString m_mentionPage;
    QString m_siteNote;
    bool m_skipClicked = false;
    bool m_emulate = false;
    QString m_firstLinkStatus;
    bool m_startPageDone = false; // the first page's answer (or its failure) is in
    bool m_onStartPage = false;
    bool m_startTriedAgain = false;
    bool m_analysingStartPage = false; // a redirect page followed from here is the start page's
    bool m_redirectOfStartPage = false;
    int m_waitsAsked = 0;         // of the page in flight (429, 503 with Retry-After)
    bool m_resting = false;
    SecureHosts m_secureHosts;

    // the page in flight and its analysis
    PageContext m_page;
    bool m_fromRedirectTarget = false; // the page under analysis came through a redirect page
    NotesSource m_target;              // and where it came from
    quint64 m_fetchId = 0;
    quint64 m_downloadId = 0;
    quint64 m_offlineFetches = 0;
    std::unique_ptr<PageAnalyser> m_analyser;
    bool m_onlyFirstLine = false;
    bool m_notesOn = false;
    bool m_anchorTextsOn = false;

    // pages drawn by a browser
    struct RenderedPage
    {
        QString url;         // as the browser was asked to load it
        QString rowUrl;      // as the page's rows name it
        NotesSource notes;   // for its links' robots.txt
        quint64 ticket = 0;
        bool answered = false;
    };
    QList<RenderedPage> m_renders;
    bool m_rendersAsked = false;
    bool m_rendersForLinks = false;
    bool m_startPageScripted = false; // the start page answered 2xx with HTML that runs a script
    QString m_startPageUrl;        // as its rows name it
    NotesSource m_startPageNotes;
    QHash<QString, int> m_staticLinksOnPage; // links found in a page's HTML, by the page's row URL

    // robots.txt
    QList<RobotsPending> m_robotsPending;
    bool m_awaitingRobots = false;

    // exactness while scanned ahead of its turn
    bool m_exact = false;
    QHash<QString, bool> m_answers; // seen-page key -> whether another row had it
    bool m_answersVaried = false;
};

// A step is one event handled from the event loop. Steps do not nest: an
// event that arrives while one is on the stack (a front end that lets
// events run while it shows a status) waits until the step is over.
class SiteScan::Step
{
public:
    explicit Step(SiteScan &site) : m_site(site)
    {
        if (m_site.m_depth++ == 0)
            m_site.m_stepGeneration = m_site.m_generation;
    }
    ~Step()
    {
        if (--m_site.m_depth == 0 && !m_site.m_deferred.isEmpty())
            m_site.scheduleDeferred();
    }

private:
    SiteScan &m_site;
};
