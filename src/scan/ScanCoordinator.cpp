#include "scan/ScanCoordinator.h"

#include "model/Project.h"
#include "scan/ScanEngine.h"
#include "scan/ScanRules.h"
#include "scan/SiteWorker.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/Sounds.h"

#include <QSet>

ScanCoordinator::ScanCoordinator(ScanEngine &engine)
    : m_engine(engine)
{
}

ScanCoordinator::~ScanCoordinator()
{
    for (Entry &entry : m_window)
        delete entry.worker;
    m_window.clear();
    delete m_plan;
}

const SecureHosts &ScanCoordinator::knownSecureHosts() const
{
    return m_engine.m_secureHosts;
}

const QHash<QString, int> &ScanCoordinator::rowKeys(int main)
{
    auto found = m_rowKeys.find(main);
    if (found == m_rowKeys.end()) {
        QHash<QString, int> keys;
        for (const LinkingSite &row : m_engine.m_project.linkingSites(main))
            ++keys[ScanEngine::rowSeenKey(row.url)];
        found = m_rowKeys.emplace(main, std::move(keys)).first;
    }
    return found->second;
}

void ScanCoordinator::start(PlannedSite first, int scanType, int sitesAtOnce)
{
    for (Entry &entry : m_window)
        dropWorker(entry);
    m_window.clear();
    m_gate.clear();
    delete m_plan;
    m_plan = new ScanPlan(m_engine.m_project, scanType);
    m_sitesAtOnce = sitesAtOnce;
    // Sites finished ahead of the head wait with their rows; this many at most.
    m_lookahead = 4 * sitesAtOnce;
    m_rowKeys.clear();
    m_window.push_back({first});
    m_lastPlanned = first;
    m_planEnded = false;
    m_stopRequested = false;
    m_firstHead = true;
    m_announced = PlannedSite();
    m_running = true;
    announceHead();
    advance();
}

// Everything that moves the scan on happens here, one step at a time: events
// run inside a step (a worker's start lets them run), and a worker that stops
// meanwhile only asks for another round.
void ScanCoordinator::advance()
{
    if (m_advancing) {
        m_advanceAgain = true;
        return;
    }
    m_advancing = true;
    do {
        m_advanceAgain = false;
        if (m_stopRequested || !m_running)
            break;
        while (m_running && !m_stopRequested && commitFinishedHead()) {
        }
        if (!m_running || m_stopRequested)
            break;
        extendWindow();
        startWaitingSites();
        showSitesInFlight();
    } while (m_advanceAgain);
    m_advancing = false;
    if (m_stopRequested) {
        m_stopRequested = false;
        m_engine.stopScan();
        return;
    }
    concludeIfDone();
}

void ScanCoordinator::concludeIfDone()
{
    if (m_running && m_window.empty() && m_planEnded) {
        m_running = false;
        showSitesInFlight();
        m_engine.stopScan();
    }
}

void ScanCoordinator::extendWindow()
{
    while (!m_planEnded && int(m_window.size()) < m_lookahead) {
        const PlannedSite next = m_plan->next(m_lastPlanned);
        if (!next.isValid()) {
            m_planEnded = true;
            break;
        }
        m_window.push_back({next});
        m_lastPlanned = next;
    }
}

int ScanCoordinator::runningCount() const
{
    int running = 0;
    for (const Entry &entry : m_window) {
        if (entry.worker && !entry.worker->hasStopped())
            ++running;
    }
    return running;
}

int ScanCoordinator::freeCacheSlot() const
{
    QSet<int> used;
    for (const Entry &entry : m_window) {
        if (entry.worker && !entry.worker->hasStopped())
            used.insert(entry.worker->cacheSlot());
    }
    int slot = 0;
    while (used.contains(slot))
        ++slot;
    return slot;
}

void ScanCoordinator::startWaitingSites()
{
    QSet<QString> busyHosts;
    int running = 0;
    for (const Entry &entry : m_window) {
        if (entry.worker && !entry.worker->hasStopped()) {
            busyHosts.insert(entry.worker->hostKey());
            ++running;
        }
    }
    for (size_t i = 0; i < m_window.size() && running < m_sitesAtOnce; ++i) {
        if (m_window[i].worker)
            continue;
        const PlannedSite site = m_window[i].site;
        const Project &project = m_engine.m_project;
        if (site.main >= project.mainSiteCount() || site.row >= project.linkingSites(site.main).size())
            continue;
        if (busyHosts.contains(SiteWorker::politeHostKey(project.linkingSites(site.main).at(site.row).url)))
            continue; // not yet: the host is busy with an earlier site
        SiteWorker *worker = startWorker(m_window[i]);
        if (!worker)
            continue;
        busyHosts.insert(worker->hostKey());
        ++running;
        if (i == 0)
            worker->setHead(&m_engine.m_frontEnd);
        worker->start();
        if (!m_running || m_stopRequested)
            return; // the start let events run, and they stopped the scan
        // Events ran during the start: the window may have moved under us.
        if (m_advanceAgain)
            return;
    }
}

SiteWorker *ScanCoordinator::startWorker(Entry &entry)
{
    const Project &project = m_engine.m_project;
    if (entry.site.main < 0 || entry.site.main >= project.mainSiteCount()
        || entry.site.row >= project.linkingSites(entry.site.main).size())
        return nullptr;
    entry.worker = new SiteWorker(*this, project, entry.site, freeCacheSlot());
    return entry.worker;
}

// The head site, once finished, is committed unless what earlier sites did
// since it started would have changed its pages: then it is scanned again.
bool ScanCoordinator::commitFinishedHead()
{
    if (m_window.empty())
        return false;
    Entry &head = m_window.front();
    const Project &project = m_engine.m_project;
    if (head.site.main >= project.mainSiteCount() || head.site.row >= project.linkingSites(head.site.main).size()) {
        // The row is gone from the project: there is nothing to scan.
        dropWorker(head);
        m_window.pop_front();
        announceHead();
        return true;
    }
    if (!head.worker || !head.worker->hasStopped())
        return false;
    if (needsRedo(*head.worker)) {
        redoHead();
        return false;
    }
    const Entry done = head;
    commitWork(*done.worker, true);
    m_window.pop_front();
    done.worker->deleteLater();
    if (done.skipped)
        followSkip(done);
    if (!m_window.empty())
        announceHead();
    return true;
}

// A site scanned ahead saw the other Linking Site URLs of its Main Site and
// the secure hosts as the sites committed at the time left them. It is exact
// unless an earlier site committed since then changed the answer to one of
// its seen-page questions, or taught the scan that a host it fetched over
// plain HTTP is secure.
bool ScanCoordinator::needsRedo(SiteWorker &worker) const
{
    const ScanEngine &engine = worker.engine();
    if (engine.m_seenAnswersVaried || engine.m_secureHosts.anyMissIn(m_engine.m_secureHosts))
        return true;
    const auto keys = m_rowKeys.find(worker.site().main);
    if (keys == m_rowKeys.end())
        return false;
    for (auto it = engine.m_seenAnswers.cbegin(); it != engine.m_seenAnswers.cend(); ++it) {
        if (ScanEngine::otherRowHas(keys->second, engine.m_ownRowKey, it.key()) != it.value())
            return true;
    }
    return false;
}

void ScanCoordinator::redoHead()
{
    Entry &head = m_window.front();
    const QString host = head.worker->hostKey();
    dropWorker(head);
    head.skipped = false;
    // The site starts again at once; a later site of its host gives way.
    for (size_t i = 1; i < m_window.size(); ++i) {
        if (m_window[i].worker && !m_window[i].worker->hasStopped() && m_window[i].worker->hostKey() == host)
            dropWorker(m_window[i]);
    }
    SiteWorker *worker = startWorker(head);
    if (!worker) {
        m_window.pop_front();
        return;
    }
    worker->setHead(&m_engine.m_frontEnd);
    worker->start();
}

// The site's rows, errors, URL update, colour, rules.log entries, secure
// hosts and counts go into the scan as the one-site scan would have written
// them; a finished site also counts and reports its outcome.
void ScanCoordinator::commitWork(SiteWorker &worker, bool finished)
{
    Project &project = m_engine.m_project;
    const PlannedSite site = worker.site();
    const Project &mine = worker.project();
    ScanEngine &engine = worker.engine();

    for (const LinkResult &row : mine.results())
        project.appendResult(row);
    for (const ErrorEntry &error : mine.errors())
        project.appendError(error);
    if (site.main < project.mainSiteCount() && site.row < project.linkingSites(site.main).size()) {
        const LinkingSite after = mine.linkingSites(0).at(0);
        const LinkingSite before = project.linkingSites(site.main).at(site.row);
        if (after.url != before.url) {
            project.setLinkingSiteUrl(site.main, site.row, after.url);
            auto keys = m_rowKeys.find(site.main);
            if (keys != m_rowKeys.end()) {
                QHash<QString, int> &counts = keys->second;
                const QString oldKey = ScanEngine::rowSeenKey(before.url);
                if (--counts[oldKey] <= 0)
                    counts.remove(oldKey);
                ++counts[ScanEngine::rowSeenKey(after.url)];
            }
        }
        if (after.colour != before.colour)
            project.setLinkingSiteColour(site.main, site.row, after.colour);
    }
    for (const auto &entry : engine.m_pendingRuleLog)
        logRejection(entry.first, entry.second);
    m_engine.m_secureHosts.addAll(engine.m_secureHosts);

    ScanStatistics &stats = m_engine.m_stats;
    const ScanStatistics &theirs = engine.m_stats;
    stats.pagesScanned += theirs.pagesScanned;
    stats.allRunsPagesScanned += theirs.pagesScanned;
    stats.pagesFound += theirs.pagesFound;
    stats.linksFound += theirs.linksFound;
    stats.allRunsLinksFound += theirs.linksFound;
    if (theirs.pagesScanned > 0 || theirs.linksFound > 0)
        m_engine.m_allRunsPending = true;
    if (finished)
        ++stats.linkingSites;
    showStatistics(true, &worker);

    const SettingsStore &store = SettingsStore::instance();
    if (finished && theirs.linksFound > 0 && store.readFlag(Keys::chkAudioEmail, true))
        playSound(Sounds::foundLink);
    if (finished && worker.outcomeRecorded())
        m_engine.m_frontEnd.linkingSiteFinished(worker.outcomeMainSite(), worker.outcomeHost(), worker.outcome());
    m_engine.storeAllRunsCounters();
    m_engine.m_frontEnd.queueCleared();
}

// After a Skip the one-site scan moves on by the skip type; sites started
// ahead along another path are dropped.
void ScanCoordinator::followSkip(const Entry &skipped)
{
    const PlannedSite next = m_plan->afterSkip(skipped.site, m_engine.skipType());
    const PlannedSite planned = m_window.empty() ? (m_planEnded ? PlannedSite() : m_plan->next(skipped.site))
                                                 : m_window.front().site;
    if (next == planned)
        return;
    for (Entry &entry : m_window)
        dropWorker(entry);
    m_window.clear();
    if (next.isValid()) {
        m_window.push_back({next});
        m_lastPlanned = next;
        m_planEnded = false;
    } else {
        m_planEnded = true;
    }
}

// The front end follows the head as it followed the one running site: a new
// Main Site is selected and counted, the Linking Site row is selected.
void ScanCoordinator::announceHead()
{
    if (m_window.empty())
        return;
    Entry &head = m_window.front();
    if (head.site == m_announced)
        return;
    Project &project = m_engine.m_project;
    ScanFrontEnd &frontEnd = m_engine.m_frontEnd;
    const SettingsStore &store = SettingsStore::instance();
    if (!m_firstHead) {
        if (head.site.main != m_announced.main) {
            project.setCurrentMainSite(head.site.main);
            frontEnd.selectMainSite(head.site.main);
            m_engine.bumpStatistic(ScanEngine::Counter::MainSites);
        }
        if (store.readFlag(Keys::chkAudioNext, true))
            playSound(Sounds::nextSite);
        frontEnd.setControls(ScanFrontEnd::Controls::NextSite);
    }
    m_firstHead = false;
    m_announced = head.site;
    m_engine.m_session.iCurrentSite = head.site.row + 1;
    frontEnd.selectLinkingSite(head.site.main, head.site.row);
    if (head.worker)
        head.worker->setHead(&frontEnd);
    else
        frontEnd.queueCleared();
    // The panels name the new head at once, not at its next page.
    frontEnd.setStatusText(1, QStringLiteral("Main Site %1 of %2").arg(head.site.main + 1).arg(project.mainSiteCount()));
    if (head.worker) {
        const ScanSession &s = head.worker->engine().session();
        frontEnd.setStatusText(2, QStringLiteral("Page %1 of %2").arg(s.lPagesStarted).arg(s.lPagesFound + 1));
    }
    if (head.site.row < project.linkingSites(head.site.main).size())
        headStatus(3, QStringLiteral("Searching ") + project.linkingSites(head.site.main).at(head.site.row).url);
}

void ScanCoordinator::dropWorker(Entry &entry)
{
    if (!entry.worker)
        return;
    SiteWorker *worker = entry.worker;
    entry.worker = nullptr;
    worker->setHead(nullptr);
    worker->stop();
    worker->deleteLater();
}

void ScanCoordinator::skipHead()
{
    if (!m_running || m_window.empty())
        return;
    Entry &head = m_window.front();
    if (head.worker && head.worker->hasStopped())
        return; // finished already: it is being committed
    head.skipped = true;
    if (!head.worker) {
        // Not started (its host was busy): it starts to be skipped at once.
        if (!startWorker(head))
            return;
        head.worker->start();
    }
    if (head.worker && !head.worker->hasStopped())
        head.worker->skip();
}

bool ScanCoordinator::stopAll()
{
    if (!m_running)
        return true;
    if (m_advancing) {
        m_stopRequested = true;
        return false;
    }
    m_running = false;
    if (!m_window.empty()) {
        Entry &head = m_window.front();
        if (head.worker) {
            SiteWorker *worker = head.worker;
            worker->setHead(nullptr);
            if (!worker->hasStopped())
                worker->stop();
            if (!needsRedo(*worker))
                commitWork(*worker, worker->outcomeRecorded());
        }
    }
    m_engine.m_frontEnd.statisticsChanged(m_engine.m_stats);
    for (Entry &entry : m_window)
        dropWorker(entry);
    m_window.clear();
    m_gate.clear();
    showSitesInFlight();
    return true;
}

void ScanCoordinator::analyseAtHead(const QString &pageText)
{
    if (m_window.empty() || !m_window.front().worker)
        return;
    m_window.front().worker->engine().analysePageText(pageText);
}

void ScanCoordinator::abandon()
{
    m_running = false;
    for (Entry &entry : m_window)
        dropWorker(entry);
    m_window.clear();
    m_gate.clear();
}

void ScanCoordinator::workerStopped(SiteWorker *)
{
    if (!m_running)
        return;
    advance();
}

// The panels show the running totals of the committed sites and of the ones
// still under way; a few times a second is enough for the eye.
void ScanCoordinator::workerCounted()
{
    if (m_running)
        showStatistics(false);
}

void ScanCoordinator::showStatistics(bool now, const SiteWorker *committed)
{
    if (!now && m_statsShown.isValid() && m_statsShown.elapsed() < 100)
        return;
    m_statsShown.start();
    ScanStatistics shown = m_engine.m_stats;
    for (Entry &entry : m_window) {
        if (!entry.worker || entry.worker == committed)
            continue;
        const ScanStatistics &theirs = entry.worker->engine().m_stats;
        shown.pagesScanned += theirs.pagesScanned;
        shown.pagesFound += theirs.pagesFound;
        shown.linksFound += theirs.linksFound;
    }
    m_engine.m_frontEnd.statisticsChanged(shown);
}

void ScanCoordinator::headStatus(int panel, const QString &text)
{
    const int running = runningCount();
    if (panel == 3 && running > 1 && !text.isEmpty())
        m_engine.m_frontEnd.setStatusText(panel, QStringLiteral("%1 [%2 at once]").arg(text).arg(running));
    else
        m_engine.m_frontEnd.setStatusText(panel, text);
}

void ScanCoordinator::showSitesInFlight()
{
    QList<QPair<int, int>> sites;
    for (const Entry &entry : m_window) {
        if (entry.worker && !entry.worker->hasStopped())
            sites.append({entry.site.main, entry.site.row});
    }
    m_engine.m_frontEnd.sitesInFlight(sites);
}
