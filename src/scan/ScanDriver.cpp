// The scan driver: starting a scan, feeding the fetcher one page at a time,
// finishing a Linking Site and moving on by scan type and skip choice.
#include "scan/ScanEngine.h"

#include "model/Project.h"
#include "net/EventPump.h"
#include "net/HttpFetcher.h"
#include "scan/ScanCoordinator.h"
#include "scan/PageCache.h"
#include "scan/RobotsCache.h"
#include "settings/FileTypes.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/Sounds.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

// The idle time-out in seconds: a 16-bit number as the options dialog takes
// it; a stored text that is not one gives the default of 60.
static int readTimeOut()
{
    return SettingsStore::instance().readInt(Keys::txtTimeout, 60, -32768, 32767);
}

static QString normalisedMainSite(const Project &project, int mainPos)
{
    if (mainPos < 0 || mainPos >= project.mainSiteCount())
        return QString();
    QString url = project.mainSite(mainPos).url;
    return normaliseMainSite(url);
}

void ScanEngine::enqueue(const QString &url)
{
    m_session.queue.append(url);
    m_frontEnd.queueAppended(url);
}

QString ScanEngine::popQueue()
{
    const QString url = m_session.queue.popFront();
    m_frontEnd.queuePopped();
    return url;
}

void ScanEngine::clearQueue()
{
    m_session.queue.clear();
    m_frontEnd.queueCleared();
}

void ScanEngine::startScan()
{
    if (m_session.bScanning)
        return; // "Start Scan" is not available while a scan runs
    SettingsStore &store = SettingsStore::instance();
    ScanSession &s = m_session;

    m_project.resetLinkingSiteColours();
    s.fileTypes = FileTypes::scanPatterns();
    s.iScanType = (m_scanType >= 0 && m_scanType <= 2) ? m_scanType : 0;
    s.resetForScan();
    m_secureHosts.clear();
    ++s.generation;
    m_firstLinkStatus.clear();
    m_stats.mainSites = 0;
    m_stats.linkingSites = 0;
    clearQueue();
    m_project.clearResults();
    m_project.clearErrors();
    m_cachePath = PageCache::cachePath(m_cacheSlot);
    m_strippedCachePath = PageCache::strippedCachePath(m_cacheSlot);

    // The Main Site (and for type 2 the Linking Site row) to begin with.
    int mainPos = 0;
    int row = 0;
    if (s.iScanType != 0) {
        mainPos = m_frontEnd.selectedMainSite();
        if (mainPos < 0 || mainPos >= m_project.mainSiteCount()) {
            m_frontEnd.showMessage(QStringLiteral("You must select a Main Site to scan before using this scan type."));
            return;
        }
        if (s.iScanType == 1 && m_project.linkingSites(mainPos).isEmpty()) {
            m_frontEnd.showMessage(QStringLiteral("You must enter a Linking Site to scan before using this scan type."));
            return;
        }
        if (s.iScanType == 2) {
            row = m_frontEnd.firstSelectedLinkingSite();
            if (row < 0 || row >= m_project.linkingSites(mainPos).size()) {
                m_frontEnd.showMessage(QStringLiteral("You must select a Linking Site to scan before using this scan type."));
                return;
            }
        }
    }

    s.strMainSite = normalisedMainSite(m_project, mainPos);
    s.timeOut = readTimeOut();
    m_stats.pagesScanned = 0;
    m_stats.pagesFound = 0;
    m_stats.linksFound = 0;
    m_frontEnd.statisticsChanged(m_stats);

    if (isBlankEntry(s.strMainSite)) {
        m_frontEnd.showMessage(QStringLiteral("Please enter the Domain you want to find links to."));
        m_frontEnd.focusEntry(ScanFrontEnd::Entry::MainSite);
        return;
    }
    if (m_project.linkingSites(mainPos).isEmpty()) {
        m_frontEnd.showMessage(QStringLiteral("Please enter at least one website to search for links."));
        m_frontEnd.focusEntry(ScanFrontEnd::Entry::LinkingSite);
        return;
    }

    const int sitesAtOnce = m_siteWorker ? 1 : store.readInt(Keys::SitesAtOnce, kDefaultSitesAtOnce, 1, kMaxSitesAtOnce);
    if (!m_siteWorker && store.readFlag(Keys::chkAudioNext, true))
        playSound(Sounds::nextSite);
    m_frontEnd.setControls(ScanFrontEnd::Controls::Scanning);
    // One chosen Linking Site has nobody to run beside.
    if (sitesAtOnce > 1 && s.iScanType != 2) {
        startSitesSideBySide(mainPos, row, sitesAtOnce);
        return;
    }

    m_project.setCurrentMainSite(mainPos);
    m_frontEnd.selectMainSite(mainPos);
    s.iCurrentSite = row + 1;
    m_frontEnd.selectLinkingSite(mainPos, row);

    const LinkingSite &site = m_project.linkingSites(mainPos).at(row);
    s.strLinkingSite = site.url;
    s.iLinksExpected = linksExpectedFromText(site.linksExpected);
    enqueue(s.strLinkingSite);

    // robots.txt files are read again by every scan, on the scan's ports
    // and within its time-out.
    resetRobotsWait();
    if (m_robots == m_ownRobots)
        m_robots->clear();
    m_robots->setPorts(port(), tlsPort());
    m_robots->setTimeOutSeconds(s.timeOut);

    s.bScanning = true;
    m_project.markEdited();
    noteSecureSite(s.strLinkingSite);
    dispatchPage(0);
}

void ScanEngine::startSitesSideBySide(int mainPos, int row, int sitesAtOnce)
{
    m_project.setCurrentMainSite(mainPos);
    m_frontEnd.selectMainSite(mainPos);
    m_session.bScanning = true;
    m_project.markEdited();
    if (!m_coordinator)
        m_coordinator = std::make_unique<ScanCoordinator>(*this);
    m_coordinator->start({mainPos, row}, m_session.iScanType, sitesAtOnce);
}

// Finishing a site starts the next one, whose dispatch may finish it at once
// (a "#" of 0): called inside a dispatch, the next dispatch is left to the
// loop of the outermost one, so a long run of such sites does not grow the stack.
void ScanEngine::dispatchPage(int slot)
{
    if (m_dispatching) {
        m_dispatchAgain = true;
        return;
    }
    m_dispatching = true;
    do {
        m_dispatchAgain = false;
        dispatchOnce(slot);
    } while (m_dispatchAgain);
    m_dispatching = false;
}

void ScanEngine::dispatchOnce(int slot)
{
    ScanSession &s = m_session;
    if (!s.bScanning)
        return;
    const quint64 generation = s.generation;
    const SettingsStore &store = SettingsStore::instance();
    ++s.lPagesStarted;
    if ((store.readFlag(Keys::chkAuto, true) && s.lPagesStarted > m_pageLimit) || s.queue.isEmpty()) {
        s.lPagesStarted = 0;
        finishSite();
        return;
    }
    if (store.readFlag(Keys::chkAuto2, true) && s.iLinksFound >= s.iLinksExpected) {
        s.lPagesStarted = 0;
        finishSite();
        return;
    }
    setStatus(1, QStringLiteral("Main Site %1 of %2").arg(m_project.currentMainSite() + 1).arg(m_project.mainSiteCount()));
    if (!stillCurrent(generation))
        return;
    setStatus(2, QStringLiteral("Page %1 of %2").arg(s.lPagesStarted).arg(s.lPagesFound + 1));
    if (!stillCurrent(generation) || s.queue.isEmpty())
        return;
    const QString url = popQueue();
    setStatus(3, QStringLiteral("Searching ") + s.strLinkingSite);
    if (!stillCurrent(generation))
        return;
    m_fetcher->fetch(slot, url);
    // Beside other sites the next page is asked for while this one comes,
    // unless a robots.txt under way already makes the second connection.
    if (m_siteWorker && stillCurrent(generation) && !s.queue.isEmpty() && !robotsUnderWay())
        m_fetcher->fetchAhead(s.queue.front());
}

void ScanEngine::finishSite()
{
    // A site with link rows ends once its robots.txt notes are in them.
    if (awaitRobots())
        return;
    ScanSession &s = m_session;
    // Whatever of the old site is still under way must not count any more.
    ++s.generation;
    bumpStatistic(Counter::LinkingSites);
    const int skipChoice = s.bSkipClicked && (m_skipType == 0 || m_skipType == 1) ? m_skipType : 0;
    s.timeOut = readTimeOut();
    s.bScanning = true;
    m_fetcher->closeSlot(0);

    recordSiteOutcome();

    if (m_siteWorker) {
        // One site beside others: the coordinator decides what comes next.
        s.bSkipClicked = false;
        stopScan();
        return;
    }
    if (s.bSkipClicked && skipChoice == 0) {
        s.bSkipClicked = false;
        moveOnAsAllMainSites();
        return;
    }
    if (skipChoice == 1) {
        s.bSkipClicked = false;
        moveToNextMainSite();
        return;
    }
    s.bSkipClicked = false;
    const int main = m_project.currentMainSite();
    const int rows = main >= 0 && main < m_project.mainSiteCount() ? int(m_project.linkingSites(main).size()) : 0;
    switch (s.iScanType) {
    case 2:
        stopScan();
        break;
    case 1:
        if (s.iCurrentSite > rows)
            stopScan();
        else
            moveToNextLinkingSite();
        break;
    default:
        moveOnAsAllMainSites();
        break;
    }
}

void ScanEngine::moveOnAsAllMainSites()
{
    const int main = m_project.currentMainSite();
    if (main < 0 || main >= m_project.mainSiteCount()) {
        stopScan();
        return;
    }
    const bool pastLastRow = m_session.iCurrentSite > m_project.linkingSites(main).size();
    if (pastLastRow)
        moveToNextMainSite(); // stops after the last Main Site
    else
        moveToNextLinkingSite();
}

void ScanEngine::moveToNextMainSite()
{
    ScanSession &s = m_session;
    s.iCurrentSite = 1;
    // A Main Site without Linking Sites has nothing to scan, and one whose URL
    // normalises to "" (say "http://") would be "contained" in every anchor:
    // both are passed over, as the start refuses them for the first Main Site.
    int next = m_project.currentMainSite() + 1;
    while (next < m_project.mainSiteCount()
           && (m_project.linkingSites(next).isEmpty() || isBlankEntry(normalisedMainSite(m_project, next))))
        ++next;
    if (next >= m_project.mainSiteCount()) {
        stopScan();
        return;
    }
    m_project.setCurrentMainSite(next);
    m_frontEnd.selectMainSite(next);
    m_frontEnd.selectLinkingSite(next, 0);
    const LinkingSite &site = m_project.linkingSites(next).at(0);
    s.strLinkingSite = site.url;
    s.strMainSite = normalisedMainSite(m_project, next);
    bumpStatistic(Counter::MainSites);
    s.iLinksExpected = linksExpectedFromText(site.linksExpected);
    enqueue(s.strLinkingSite);
    if (SettingsStore::instance().readFlag(Keys::chkAudioNext, true))
        playSound(Sounds::nextSite);
    startLinkingSite();
}

void ScanEngine::moveToNextLinkingSite()
{
    ScanSession &s = m_session;
    const int main = m_project.currentMainSite();
    const int row = currentRow();
    if (main < 0 || main >= m_project.mainSiteCount() || row < 0 || row >= m_project.linkingSites(main).size()) {
        stopScan();
        return;
    }
    m_frontEnd.selectLinkingSite(main, row);
    const LinkingSite &site = m_project.linkingSites(main).at(row);
    s.strLinkingSite = site.url;
    s.iLinksExpected = linksExpectedFromText(site.linksExpected);
    s.strMainSite = normalisedMainSite(m_project, main);
    enqueue(s.strLinkingSite);
    if (SettingsStore::instance().readFlag(Keys::chkAudioNext, true))
        playSound(Sounds::nextSite);
    startLinkingSite();
}

void ScanEngine::startLinkingSite()
{
    m_session.bScanning = true;
    m_frontEnd.setControls(ScanFrontEnd::Controls::NextSite);
    m_session.iLinksFound = 0;
    m_session.lPagesStarted = 0;
    noteSecureSite(m_session.strLinkingSite);
    dispatchPage(0);
}

void ScanEngine::stopScan()
{
    if (!m_session.bScanning)
        return;
    if (m_coordinator && m_coordinator->isRunning() && !m_coordinator->stopAll())
        return; // the coordinator is in the middle of a step: it stops when the step ends
    m_session.bScanning = false;
    ++m_session.generation;
    resetRobotsWait();
    if (m_siteWorker) {
        m_fetcher->closeAll();
        m_fetcher->stopIdleTimer(0);
        m_frontEnd.scanStopped();
        return;
    }
    m_frontEnd.setControls(ScanFrontEnd::Controls::Idle);
    m_session.iCurrentSite = 0;
    m_fetcher->closeAll();
    m_frontEnd.setProgressToMaximum();
    m_frontEnd.setStatusText(1, QStringLiteral("Stopped"));
    for (int panel = 2; panel <= 4; ++panel)
        m_frontEnd.setStatusText(panel, QString());
    m_fetcher->stopIdleTimer(0);
    bumpStatistic(Counter::MainSites);
    storeAllRunsCounters();
    m_frontEnd.scanStopped();
    if (SettingsStore::instance().readFlag(Keys::chkAudioFinished, true))
        playSound(Sounds::finished);
    // Events run only once the stop is complete, so a new Start cannot
    // interleave with it.
    EventPump::pumpNow();
}

void ScanEngine::skipCurrent()
{
    if (!m_session.bScanning)
        return;
    if (m_coordinator && m_coordinator->isRunning()) {
        m_coordinator->skipHead();
        return;
    }
    m_session.bSkipClicked = true;
    m_session.strSiteNote = QStringLiteral("Skipped");
    finishSite();
}

void ScanEngine::shutdown()
{
    if (m_coordinator)
        m_coordinator->abandon();
    m_session.bScanning = false;
    ++m_session.generation;
    resetRobotsWait();
    m_fetcher->closeAll();
    m_fetcher->stopIdleTimer(0);
    storeAllRunsCounters();
}
