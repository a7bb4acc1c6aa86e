#include "scan/ScanRun.h"

#include "model/Project.h"
#include "net/HostScheduler.h"
#include "net/PageRenderer.h"
#include "scan/RobotsCache.h"
#include "settings/FileTypes.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/Sounds.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

namespace {

// A finished site waiting for its turn keeps its rows in memory; a last
// page larger than this waits on disk.
constexpr qsizetype kPageKeptInMemory = 64 * 1024;
// Sites are started ahead only while the pages waiting on disk stay below this.
constexpr qint64 kSpillBudget = 2LL * 1024 * 1024 * 1024;
// How many sites may be held from the head on, per site run at once.
constexpr int kWindowPerSite = 32;
constexpr int kAllRunsWriteIntervalMs = 1000;
constexpr int kStatisticsIntervalMs = 100;

// The idle time-out in seconds: a 16-bit number as the options dialog takes
// it; a stored text that is not one gives the default of 60.
int readTimeOut()
{
    return SettingsStore::instance().readInt(Keys::txtTimeout, 60, -32768, 32767);
}

QString normalisedMainSite(const Project &project, int mainPos)
{
    if (mainPos < 0 || mainPos >= project.mainSiteCount())
        return QString();
    QString url = project.mainSite(mainPos).url;
    return normaliseMainSite(url);
}

} // namespace

// ScanRun's own steps: a command (Stop, Skip) that a front end gives while
// one is on the stack waits for it to end.
class ScanRunBusy
{
public:
    explicit ScanRunBusy(int &busy) : m_busy(busy) { ++m_busy; }
    ~ScanRunBusy() { --m_busy; }

private:
    int &m_busy;
};

ScanRun::ScanRun(Project &project, ScanFrontEnd &frontEnd, QObject *parent)
    : QObject(parent)
    , m_project(project)
    , m_frontEnd(frontEnd)
    , m_scheduler(new HostScheduler(this))
    , m_robots(new RobotsCache(this))
    , m_sequencer(project, m_ledger, m_secureHosts, m_stats)
{
    m_robots->setScheduler(m_scheduler);
    resetStatistics();
}

ScanRun::~ScanRun()
{
    m_running = false;
    for (Entry &entry : m_window)
        retire(entry);
    m_window.clear();
    storeAllRunsCounters();
    // The sites and robots.txt downloads hold turns at the scheduler: they go first.
    qDeleteAll(findChildren<SiteScan *>(QString(), Qt::FindDirectChildrenOnly));
    delete m_robots;
    delete m_renderer;
}

QString ScanRun::politeHostKey(const QString &url)
{
    QString host = hostOfCopy(url).toLower();
    if (host.startsWith(QLatin1String("www.")))
        host = host.mid(4);
    return host;
}

void ScanRun::resetStatistics()
{
    m_stats = ScanStatistics();
    const SettingsStore &store = SettingsStore::instance();
    m_stats.allRunsPagesScanned = store.readInt64(Keys::lHistWebScanned, 0);
    m_stats.allRunsLinksFound = store.readInt64(Keys::lHistEmailFound, 0);
    m_frontEnd.statisticsChanged(m_stats);
}

bool ScanRun::rowExists(PlannedSite site) const
{
    return site.main >= 0 && site.main < m_project.mainSiteCount() && site.row >= 0
        && site.row < m_project.linkingSites(site.main).size();
}

void ScanRun::startScan()
{
    if (m_running)
        return; // "Start Scan" is not available while a scan runs
    ScanRunBusy busy(m_busy);
    const SettingsStore &store = SettingsStore::instance();

    m_project.resetLinkingSiteColours();
    m_fileTypes = FileTypes::scanPatterns();
    m_scanTypeInEffect = (m_scanType >= 0 && m_scanType <= 2) ? m_scanType : 0;
    for (Entry &entry : m_window)
        retire(entry);
    m_window.clear();
    m_secureHosts.clear();
    // robots.txt files are read again by every scan.
    m_robots->clear();
    m_scheduler->clear();
    m_stats.mainSites = 0;
    m_stats.linkingSites = 0;
    m_frontEnd.queueCleared();
    m_project.clearResults();
    m_project.clearErrors();

    // The Main Site (and for type 2 the Linking Site row) to begin with.
    int mainPos = 0;
    int row = 0;
    if (m_scanTypeInEffect != 0) {
        mainPos = m_frontEnd.selectedMainSite();
        if (mainPos < 0 || mainPos >= m_project.mainSiteCount()) {
            m_frontEnd.showMessage(QStringLiteral("You must select a Main Site to scan before using this scan type."));
            return;
        }
        if (m_scanTypeInEffect == 1 && m_project.linkingSites(mainPos).isEmpty()) {
            m_frontEnd.showMessage(QStringLiteral("You must enter a Linking Site to scan before using this scan type."));
            return;
        }
        if (m_scanTypeInEffect == 2) {
            row = m_frontEnd.firstSelectedLinkingSite();
            if (row < 0 || row >= m_project.linkingSites(mainPos).size()) {
                m_frontEnd.showMessage(QStringLiteral("You must select a Linking Site to scan before using this scan type."));
                return;
            }
        }
    }

    const QString mainSite = normalisedMainSite(m_project, mainPos);
    m_timeOut = readTimeOut();
    m_stats.pagesScanned = 0;
    m_stats.pagesFound = 0;
    m_stats.linksFound = 0;
    m_frontEnd.statisticsChanged(m_stats);

    if (isBlankEntry(mainSite)) {
        m_frontEnd.showMessage(QStringLiteral("Please enter the Domain you want to find links to."));
        m_frontEnd.focusEntry(ScanFrontEnd::Entry::MainSite);
        return;
    }
    if (m_project.linkingSites(mainPos).isEmpty()) {
        m_frontEnd.showMessage(QStringLiteral("Please enter at least one website to search for links."));
        m_frontEnd.focusEntry(ScanFrontEnd::Entry::LinkingSite);
        return;
    }

    // One chosen Linking Site has nobody to run beside.
    m_sitesAtOnce = m_scanTypeInEffect == 2
        ? 1
        : store.readIntClamped(Keys::SitesAtOnce, kDefaultSitesAtOnce, 1, kMaxSitesAtOnce);
    m_windowLimit = m_sitesAtOnce == 1 ? 1 : kWindowPerSite * m_sitesAtOnce;
    if (store.readFlag(Keys::chkAudioNext, true))
        playSound(Sounds::nextSite);
    m_frontEnd.setControls(ScanFrontEnd::Controls::Scanning);
    m_project.setCurrentMainSite(mainPos);
    m_frontEnd.selectMainSite(mainPos);

    m_robots->setPorts(m_port, m_tlsPort);
    m_robots->setTimeOutSeconds(m_timeOut);
    m_robots->setAcceptAnyCertificate(store.readFlag(Keys::IgnoreCertificateErrors, false));
    m_robots->setUserAgent(store.read(Keys::UserAgent, kDefaultUserAgent));
    m_ledger.reset(m_project);
    m_plan = std::make_unique<ScanPlan>(m_project, m_scanTypeInEffect);
    m_window.push_back(Entry(PlannedSite{mainPos, row}));
    m_lastPlanned = PlannedSite{mainPos, row};
    m_planEnded = false;
    m_firstHead = true;
    m_announced = PlannedSite();
    m_stopPending = false;
    m_skipPending = false;
    m_spilledBytes = 0;
    m_running = true;
    m_project.markEdited();
    announceHead();
    requestAdvance();
}

void ScanRun::requestAdvance()
{
    if (m_advancePosted)
        return;
    m_advancePosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_advancePosted = false;
            advance();
        },
        Qt::QueuedConnection);
}

// Everything that moves the scan on happens here, from the event loop: the
// head is checked and committed, the window filled, waiting sites started.
void ScanRun::advance()
{
    if (!m_running)
        return;
    if (m_busy || (!m_window.empty() && m_window.front().scan && m_window.front().scan->isInStep())) {
        requestAdvance();
        return;
    }
    ScanRunBusy busy(m_busy);
    if (m_stopPending) {
        stopNow();
        return;
    }
    if (m_skipPending) {
        m_skipPending = false;
        if (!m_window.empty()) {
            Entry &head = m_window.front();
            if (!(head.scan && head.scan->hasFinished())) {
                head.skipped = true;
                if (!head.scan)
                    startSite(head, true);
                head.scan->skip();
            }
        }
    }
    while (m_running && settleHead()) {
    }
    if (!m_running)
        return;
    extendWindow();
    startWaitingSites();
    showSitesInFlight();
    showStatistics(false);
    concludeIfDone();
}

// The head is started, checked or redone, has its records applied, and is
// committed once finished. True when it was committed (the next one is
// the head now).
bool ScanRun::settleHead()
{
    if (m_window.empty())
        return false;
    Entry &head = m_window.front();
    if (!rowExists(head.site)) {
        // The row is gone from the project: there is nothing to scan.
        retire(head);
        m_window.pop_front();
        announceHead();
        return true;
    }
    if (!head.scan) {
        startSite(head, true);
    } else if (!head.exact) {
        if (head.scan->stillExact(m_ledger, m_secureHosts)) {
            head.exact = true;
            head.scan->becomeExact();
        } else {
            retire(head);
            startSite(head, true);
            m_frontEnd.queueCleared();
        }
    }
    announceHead();
    drainHead();
    if (!head.scan->hasFinished())
        return false;
    commitFinishedHead();
    return true;
}

void ScanRun::drainHead()
{
    if (m_window.empty())
        return;
    Entry &head = m_window.front();
    if (!head.scan || !head.exact)
        return;
    // The front end hears of a site before any of its rows.
    announceHead();
    const qint64 before = m_stats.allRunsPagesScanned + m_stats.allRunsLinksFound;
    m_sequencer.apply(head.site, head.scan->record(), head.applied);
    if (m_stats.allRunsPagesScanned + m_stats.allRunsLinksFound != before) {
        m_allRunsPending = true;
        if (!m_allRunsClock.isValid() || m_allRunsClock.elapsed() >= kAllRunsWriteIntervalMs)
            storeAllRunsCounters();
    }
}

void ScanRun::commitFinishedHead()
{
    Entry &head = m_window.front();
    SiteScanRecord &record = head.scan->record();
    ++m_stats.linkingSites;
    const QString lastPage = takeLastPage(head);
    if (record.hasLastPage)
        CommitSequencer::writeCache(lastPage);
    const SettingsStore &store = SettingsStore::instance();
    if (record.linksFound > 0 && !head.soundPlayed && store.readFlag(Keys::chkAudioEmail, true))
        playSound(Sounds::foundLink);
    showStatistics(true);
    if (record.outcomeRecorded)
        m_frontEnd.linkingSiteFinished(record.outcomeMainSite, record.outcomeHost, record.outcome);
    m_frontEnd.linkingSiteConcluded(conclusionOf(head));
    storeAllRunsCounters();
    m_frontEnd.queueCleared();
    const PlannedSite done = head.site;
    const bool skipped = head.skipped || record.skipped;
    retire(head);
    m_window.pop_front();
    if (skipped)
        followSkip(done);
    announceHead();
}

// After a Skip the one-site scan moves on by the skip type; sites started
// ahead along another path are dropped.
void ScanRun::followSkip(PlannedSite skipped)
{
    const PlannedSite next = m_plan->afterSkip(skipped, (m_skipType == 0 || m_skipType == 1) ? m_skipType : 0);
    const PlannedSite planned = m_window.empty() ? (m_planEnded ? PlannedSite() : m_plan->next(skipped))
                                                 : m_window.front().site;
    if (next == planned)
        return;
    for (Entry &entry : m_window)
        retire(entry);
    m_window.clear();
    if (next.isValid()) {
        m_window.push_back(Entry(next));
        m_lastPlanned = next;
        m_planEnded = false;
    } else {
        m_planEnded = true;
    }
}

void ScanRun::extendWindow()
{
    while (!m_planEnded && int(m_window.size()) < m_windowLimit) {
        const PlannedSite next = m_plan->next(m_lastPlanned);
        if (!next.isValid()) {
            m_planEnded = true;
            break;
        }
        m_window.push_back(Entry(next));
        m_lastPlanned = next;
    }
}

int ScanRun::runningCount() const
{
    int running = 0;
    for (const Entry &entry : m_window)
        running += entry.scan && entry.scan->isRunning() ? 1 : 0;
    return running;
}

// A site that waits to ask again holds no connection: another may start.
void ScanRun::siteResting(const SiteScan &)
{
    requestAdvance();
}

// Sites of one host take turns; a site waits while the pages of finished
// sites waiting on disk are over their budget.
void ScanRun::startWaitingSites()
{
    QSet<QString> busyHosts;
    int running = 0;
    for (const Entry &entry : m_window) {
        if (entry.scan && entry.scan->isRunning()) {
            busyHosts.insert(politeHostKey(entry.scan->setup().row.url));
            running += entry.scan->isResting() ? 0 : 1;
        }
    }
    for (size_t i = 0; i < m_window.size() && running < m_sitesAtOnce; ++i) {
        Entry &entry = m_window[i];
        if (entry.scan || !rowExists(entry.site))
            continue;
        if (i > 0 && m_spilledBytes > kSpillBudget)
            break;
        const QString key = politeHostKey(m_project.linkingSites(entry.site.main).at(entry.site.row).url);
        if (busyHosts.contains(key))
            continue; // not yet: the host is busy with an earlier site
        if (!startSite(entry, i == 0))
            continue;
        if (i == 0)
            announceHead();
        busyHosts.insert(key);
        ++running;
    }
    warmSitesAhead(busyHosts);
}

// The sites next in line get their first page's connection while the running
// ones work, so each starts with its handshakes done. Beside other sites
// only: one site at a time stays one host at a time.
void ScanRun::warmSitesAhead(QSet<QString> busyHosts)
{
    if (m_sitesAtOnce < 2)
        return;
    // The second connection carries the robots.txt the link notes read
    // beside the first page, then the pages asked for ahead.
    const int connections = SettingsStore::instance().readFlag(Keys::chkLinkNotes, true) ? 2 : 1;
    int ahead = 0;
    for (size_t i = 0; i < m_window.size() && ahead < m_sitesAtOnce; ++i) {
        Entry &entry = m_window[i];
        if (entry.scan || !rowExists(entry.site))
            continue;
        ++ahead;
        if (entry.warmed)
            continue;
        SiteSetup setup;
        setup.row = m_project.linkingSites(entry.site.main).at(entry.site.row);
        const QString key = politeHostKey(setup.row.url);
        if (busyHosts.contains(key))
            continue; // its host serves an earlier site, which may be keeping the connection
        busyHosts.insert(key);
        entry.warmed = true;
        setup.secureHosts = m_secureHosts;
        setup.port = m_port;
        setup.tlsPort = m_tlsPort;
        PageFetcher::warm(SiteScan::firstPageRequest(setup), m_scheduler->pool(), connections);
    }
}

bool ScanRun::startSite(Entry &entry, bool asHead)
{
    if (!rowExists(entry.site))
        return false;
    const int main = entry.site.main;
    SiteSetup setup;
    setup.site = entry.site;
    setup.mainSiteCount = m_project.mainSiteCount();
    setup.mainSiteUrl = m_project.mainSite(main).url;
    setup.mainSite = normalisedMainSite(m_project, main);
    setup.row = m_project.linkingSites(main).at(entry.site.row);
    setup.rules = m_project.rules();
    setup.fileTypes = m_fileTypes;
    // Read again for every site, as the one-site scan reads it at every site's end.
    setup.timeOut = readTimeOut();
    setup.retryDelay = SettingsStore::instance().readIntClamped(Keys::RetryDelay, kDefaultRetryDelay, 0, kMaxRetryDelay);
    // What the sites before it learned so far counts too: a partner typed
    // twice, once with https, is not fetched over plain HTTP and redone.
    setup.secureHosts = m_secureHosts;
    for (const Entry &earlier : m_window) {
        if (&earlier == &entry)
            break;
        if (earlier.scan) {
            for (const QString &host : earlier.scan->record().secureHosts)
                setup.secureHosts.markSecure(host);
        }
    }
    setup.ledgerVersion = m_ledger.version(main);
    setup.port = m_port;
    setup.tlsPort = m_tlsPort;
    setup.fetchAhead = m_sitesAtOnce >= 2;

    if (asHead) {
        // A later site of its host gives way to it.
        const QString key = politeHostKey(setup.row.url);
        for (size_t i = 1; i < m_window.size(); ++i) {
            Entry &later = m_window[i];
            if (later.scan && later.scan->isRunning() && politeHostKey(later.scan->setup().row.url) == key)
                retire(later);
        }
    }
    entry.scan = new SiteScan(setup, *this, m_scheduler, *m_robots, this);
    entry.applied = CommitSequencer::Applied();
    entry.exact = asHead;
    entry.soundPlayed = false;
    if (m_redirectDownload) {
        entry.scan->setSynchronous(true);
        entry.scan->setRedirectDownload(m_redirectDownload);
    }
    if (asHead)
        entry.scan->becomeExact();
    entry.scan->start();
    return true;
}

// A site no longer wanted: it stops at once and goes once control is back
// in the event loop, never while one of its own steps is on the stack.
void ScanRun::retire(Entry &entry)
{
    if (!entry.spilledPage.isEmpty()) {
        m_spilledBytes -= QFileInfo(entry.spilledPage).size();
        QFile::remove(entry.spilledPage);
        entry.spilledPage.clear();
    }
    if (!entry.scan)
        return;
    SiteScan *scan = std::exchange(entry.scan, nullptr);
    scan->stop();
    scan->disconnect(this);
    scan->deleteLater();
    entry.applied = CommitSequencer::Applied();
    entry.exact = false;
}

// A finished site waiting for its turn keeps its rows; a large last page
// waits on disk until the site commits.
void ScanRun::keepLastPage(Entry &entry)
{
    SiteScanRecord &record = entry.scan->record();
    if (!record.hasLastPage || record.lastPage.size() <= kPageKeptInMemory || !entry.spilledPage.isEmpty())
        return;
    if (!m_spill) {
        m_spill = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/reciplex-scan-XXXXXX"));
        if (!m_spill->isValid())
            return;
    }
    const QString path = m_spill->filePath(QStringLiteral("page%1").arg(++m_spillCount));
    QFile file(path);
    const QByteArray bytes = record.lastPage.toLatin1();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return; // it stays in memory
    file.close();
    entry.spilledPage = path;
    m_spilledBytes += bytes.size();
    record.lastPage = QString();
}

QString ScanRun::takeLastPage(Entry &entry)
{
    SiteScanRecord &record = entry.scan->record();
    if (entry.spilledPage.isEmpty())
        return record.lastPage;
    QFile file(entry.spilledPage);
    const QString page = file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    file.close();
    m_spilledBytes -= QFileInfo(entry.spilledPage).size();
    QFile::remove(entry.spilledPage);
    entry.spilledPage.clear();
    return page;
}

// The front end follows the head as it followed the one running site: a new
// Main Site is selected and counted, the Linking Site row is selected.
void ScanRun::announceHead()
{
    if (m_window.empty())
        return;
    Entry &head = m_window.front();
    if (head.site == m_announced)
        return;
    const SettingsStore &store = SettingsStore::instance();
    if (!m_firstHead) {
        if (head.site.main != m_announced.main) {
            m_project.setCurrentMainSite(head.site.main);
            m_frontEnd.selectMainSite(head.site.main);
            ++m_stats.mainSites;
            showStatistics(true);
        }
        if (store.readFlag(Keys::chkAudioNext, true))
            playSound(Sounds::nextSite);
        m_frontEnd.setControls(ScanFrontEnd::Controls::NextSite);
    }
    m_firstHead = false;
    m_announced = head.site;
    m_frontEnd.selectLinkingSite(head.site.main, head.site.row);
    m_frontEnd.queueCleared();
    if (!head.scan)
        return;
    for (const QString &url : head.scan->queueEntries())
        m_frontEnd.queueAppended(url);
    // The panels name the new head at once, not at its next page.
    m_frontEnd.setStatusText(1, QStringLiteral("Main Site %1 of %2").arg(head.site.main + 1).arg(m_project.mainSiteCount()));
    m_frontEnd.setStatusText(2, QStringLiteral("Page %1 of %2").arg(head.scan->pagesStarted()).arg(head.scan->pagesFoundOnSite() + 1));
    if (rowExists(head.site))
        siteStatus(*head.scan, 3, QStringLiteral("Searching ") + m_project.linkingSites(head.site.main).at(head.site.row).url);
}

bool ScanRun::isHead(const SiteScan &site) const
{
    return !m_window.empty() && m_window.front().scan == &site && m_window.front().exact;
}

void ScanRun::siteStatus(const SiteScan &site, int panel, const QString &text)
{
    if (!isHead(site))
        return;
    const int running = m_sitesAtOnce > 1 ? runningCount() : 1;
    if (panel == 3 && running > 1 && !text.isEmpty())
        m_frontEnd.setStatusText(panel, QStringLiteral("%1 [%2 at once]").arg(text).arg(running));
    else
        m_frontEnd.setStatusText(panel, text);
}

void ScanRun::siteProgress(const SiteScan &site, int percent)
{
    if (isHead(site))
        m_frontEnd.setProgress(percent);
}

void ScanRun::siteQueueChanged(const SiteScan &site, QueueChange change, const QString &url)
{
    if (!isHead(site))
        return;
    switch (change) {
    case QueueChange::Appended:
        m_frontEnd.queueAppended(url);
        break;
    case QueueChange::Popped:
        m_frontEnd.queuePopped();
        break;
    case QueueChange::Cleared:
        m_frontEnd.queueCleared();
        break;
    }
}

// The head's rows reach the project as they are found, once control is
// back in the event loop.
void ScanRun::siteRecordGrew(const SiteScan &site)
{
    if (!isHead(site)) {
        showStatistics(false);
        return;
    }
    if (m_drainPosted)
        return;
    m_drainPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_drainPosted = false;
            if (!m_running || m_busy)
                return; // advance() applies it
            drainHead();
            showStatistics(false);
        },
        Qt::QueuedConnection);
}

void ScanRun::siteFoundLink(const SiteScan &site)
{
    if (!isHead(site))
        return;
    m_window.front().soundPlayed = true;
    if (SettingsStore::instance().readFlag(Keys::chkAudioEmail, true))
        playSound(Sounds::foundLink);
}

void ScanRun::siteFinished(const SiteScan &site)
{
    for (Entry &entry : m_window) {
        if (entry.scan == &site && &entry != &m_window.front()) {
            keepLastPage(entry);
            break;
        }
    }
    requestAdvance();
}

bool ScanRun::siteMayGoOn(const SiteScan &) const
{
    return !m_stopPending;
}

// Pages are drawn by a helper program, started when the first is asked for;
// where it cannot be found, no page is drawn and nothing is said of it.
PageRenderer *ScanRun::renderer()
{
    if (!m_renderer) {
        const QString program = m_renderProgram.isEmpty() ? PageRenderer::findHelperProgram() : m_renderProgram;
        if (program.isEmpty() || !QFileInfo(program).isExecutable())
            return nullptr;
        m_renderer = new PageRenderer(this);
        m_renderer->setHelperProgram(program);
    }
    return m_renderer;
}

bool ScanRun::otherRowHas(int main, int row, const QString &key)
{
    return m_ledger.otherRowHas(main, row, key);
}

void ScanRun::skipCurrent()
{
    if (!m_running || m_window.empty())
        return;
    Entry &head = m_window.front();
    if (head.scan && head.scan->hasFinished())
        return; // finished already: it is being committed
    if (m_busy || !head.exact) {
        m_skipPending = true;
        requestAdvance();
        return;
    }
    head.skipped = true;
    if (!head.scan)
        startSite(head, true);
    head.scan->skip();
}

void ScanRun::stopScan()
{
    if (!m_running)
        return;
    m_stopPending = true;
    // A Stop given while a step is on the stack (a front end that lets events
    // run inside a status) is taken at the step's next check, and done from
    // the event loop.
    if (m_busy || (!m_window.empty() && m_window.front().scan && m_window.front().scan->isInStep())) {
        requestAdvance();
        return;
    }
    ScanRunBusy busy(m_busy);
    stopNow();
}

// Stop: the head keeps what it found so far, as a one-site scan stopped
// there would; the sites ahead are dropped.
void ScanRun::stopNow()
{
    m_stopPending = false;
    m_skipPending = false;
    if (!m_window.empty()) {
        Entry &head = m_window.front();
        if (head.scan) {
            head.scan->stop();
            if (!head.exact && rowExists(head.site) && head.scan->stillExact(m_ledger, m_secureHosts))
                head.exact = true;
            if (head.exact && rowExists(head.site)) {
                drainHead();
                SiteScanRecord &record = head.scan->record();
                if (record.hasLastPage)
                    CommitSequencer::writeCache(takeLastPage(head));
                if (record.finished) {
                    ++m_stats.linkingSites;
                    if (record.outcomeRecorded)
                        m_frontEnd.linkingSiteFinished(record.outcomeMainSite, record.outcomeHost, record.outcome);
                }
                m_frontEnd.linkingSiteConcluded(conclusionOf(head));
            }
        }
    }
    for (Entry &entry : m_window)
        retire(entry);
    m_window.clear();
    m_spill.reset();
    m_spilledBytes = 0;
    m_running = false;
    showSitesInFlight();
    m_frontEnd.setControls(ScanFrontEnd::Controls::Idle);
    m_frontEnd.setProgressToMaximum();
    m_frontEnd.setStatusText(1, QStringLiteral("Stopped"));
    for (int panel = 2; panel <= 4; ++panel)
        m_frontEnd.setStatusText(panel, QString());
    ++m_stats.mainSites;
    m_frontEnd.statisticsChanged(m_stats);
    storeAllRunsCounters();
    m_frontEnd.scanStopped();
    if (SettingsStore::instance().readFlag(Keys::chkAudioFinished, true))
        playSound(Sounds::finished);
}

SiteConclusion ScanRun::conclusionOf(const Entry &entry) const
{
    const SiteScanRecord &record = entry.scan->record();
    const SiteSetup &setup = entry.scan->setup();
    SiteConclusion c;
    c.mainPos = entry.site.main;
    c.row = entry.site.row;
    c.mainSiteUrl = setup.mainSiteUrl;
    c.mainSite = setup.mainSite;
    c.linkingSiteUrl = setup.row.url;
    c.updatedUrl = record.url != setup.row.url ? record.url : QString();
    c.host = record.outcomeRecorded ? record.outcomeHost : hostOfCopy(setup.row.url);
    c.stopped = !record.finished;
    c.outcome = record.outcomeRecorded ? record.outcome : QString();
    c.checked = record.checked && record.finished && !record.skipped;
    c.reason = record.reason;
    c.skipped = record.skipped;
    c.rows = record.rows;
    c.errors = record.errors;
    return c;
}

void ScanRun::concludeIfDone()
{
    if (m_running && m_window.empty() && m_planEnded)
        stopNow();
}

void ScanRun::shutdown()
{
    m_running = false;
    m_stopPending = false;
    for (Entry &entry : m_window)
        retire(entry);
    m_window.clear();
    m_robots->clear();
    m_scheduler->clear();
    storeAllRunsCounters();
}

// The panels show the totals of the committed sites and of the ones still
// under way; ten times a second is enough for the eye.
void ScanRun::showStatistics(bool now)
{
    if (!now && m_statsShown.isValid() && m_statsShown.elapsed() < kStatisticsIntervalMs)
        return;
    m_statsShown.start();
    ScanStatistics shown = m_stats;
    for (const Entry &entry : m_window) {
        if (entry.scan)
            CommitSequencer::addPending(entry.scan->record(), entry.applied, shown);
    }
    m_frontEnd.statisticsChanged(shown);
}

void ScanRun::showSitesInFlight()
{
    QList<QPair<int, int>> sites;
    for (const Entry &entry : m_window) {
        if (entry.scan && entry.scan->isRunning())
            sites.append({entry.site.main, entry.site.row});
    }
    m_frontEnd.sitesInFlight(sites);
}

// The settings store writes its file on every change; nothing reads the
// totals during a scan, so they are stored at most once a second, at every
// finished site and when the scan stops.
void ScanRun::storeAllRunsCounters()
{
    if (!m_allRunsPending)
        return;
    SettingsStore &store = SettingsStore::instance();
    store.write(Keys::lHistWebScanned, QString::number(m_stats.allRunsPagesScanned));
    store.write(Keys::lHistEmailFound, QString::number(m_stats.allRunsLinksFound));
    m_allRunsPending = false;
    m_allRunsClock.start();
}
