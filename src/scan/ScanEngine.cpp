#include "scan/ScanEngine.h"

#include "model/Project.h"
#include "net/EventPump.h"
#include "net/HttpFetcher.h"
#include "scan/AnalysisGate.h"
#include "scan/ScanCoordinator.h"
#include "scan/RobotsCache.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/UrlText.h"

ScanEngine::ScanEngine(Project &project, ScanFrontEnd &frontEnd, QObject *parent)
    : QObject(parent)
    , m_project(project)
    , m_frontEnd(frontEnd)
    , m_fetcher(new HttpFetcher(this))
    , m_ownRobots(new RobotsCache(this))
    , m_robots(m_ownRobots)
{
    m_fetcher->setRunningCheck([this] { return m_session.bScanning; });
    m_fetcher->setSecureHosts(&m_secureHosts);
    connect(m_fetcher, &HttpFetcher::statusText, this, [this](const QString &text) {
        m_frontEnd.setStatusText(1, text);
    });
    connect(m_fetcher, &HttpFetcher::progress, this, [this](int percent) { m_frontEnd.setProgress(percent); });
    connect(m_fetcher, &HttpFetcher::connectedToHost, this, [this] { bumpStatistic(Counter::PagesScanned); });
    connect(m_fetcher, &HttpFetcher::statusError, this, [this](const QString &text, const QString &url) {
        m_session.strSiteNote = text;
        m_project.appendError({text, url});
        bumpStatistic(Counter::PagesScanned);
    });
    connect(m_fetcher, &HttpFetcher::pageArrived, this, [this](int slot, const QString &text) {
        analyseInTurn([this, slot, text] { pageIntake(text, slot); });
    });
    // A page whose secure connection failed has its errors row; the site goes on.
    connect(m_fetcher, &HttpFetcher::pageFailed, this, [this](int slot) {
        if (m_session.bScanning)
            dispatchPage(slot);
    });
    connect(m_fetcher, &HttpFetcher::wholePageArrived, this, [this](int, const QString &text) {
        analyseInTurn([this, text] { redirectTargetArrived(text); });
    });
    connect(m_fetcher, &HttpFetcher::idleTick, this, &ScanEngine::onIdleTick);

    auto rowsChanged = [this] { m_rowKeysDirty = true; };
    connect(&m_project, &Project::projectReset, this, rowsChanged);
    connect(&m_project, &Project::mainSitesChanged, this, rowsChanged);
    connect(&m_project, &Project::linkingSitesChanged, this, rowsChanged);
    connect(&m_project, &Project::linkingSiteChanged, this, rowsChanged);

    resetStatistics();
}

ScanEngine::~ScanEngine()
{
    if (m_coordinator)
        m_coordinator->abandon();
    m_coordinator.reset();
    m_session.bScanning = false;
    m_fetcher->closeAll();
    storeAllRunsCounters();
}

void ScanEngine::setRobotsCache(RobotsCache *cache)
{
    m_robots = cache ? cache : m_ownRobots;
}

void ScanEngine::setPort(quint16 port)
{
    m_fetcher->setPort(port);
}

quint16 ScanEngine::port() const
{
    return m_fetcher->port();
}

void ScanEngine::setTlsPort(quint16 port)
{
    m_fetcher->setTlsPort(port);
}

quint16 ScanEngine::tlsPort() const
{
    return m_fetcher->tlsPort();
}

void ScanEngine::setPageLimit(int pages)
{
    m_pageLimit = pages;
}

int ScanEngine::pageLimit() const
{
    return m_pageLimit;
}

void ScanEngine::setScanType(int type)
{
    m_scanType = type;
}

int ScanEngine::scanType() const
{
    return m_scanType;
}

void ScanEngine::setSkipType(int type)
{
    m_skipType = type;
}

int ScanEngine::skipType() const
{
    return m_skipType;
}

bool ScanEngine::isScanning() const
{
    return m_session.bScanning;
}

const ScanStatistics &ScanEngine::statistics() const
{
    return m_stats;
}

void ScanEngine::resetStatistics()
{
    m_stats = ScanStatistics();
    const SettingsStore &store = SettingsStore::instance();
    m_stats.allRunsPagesScanned = store.readInt64(Keys::lHistWebScanned, 0);
    m_stats.allRunsLinksFound = store.readInt64(Keys::lHistEmailFound, 0);
    m_frontEnd.statisticsChanged(m_stats);
}

void ScanEngine::analysePageText(const QString &pageText)
{
    if (!m_session.bScanning || m_awaitingRobots)
        return;
    if (m_coordinator && m_coordinator->isRunning()) {
        m_coordinator->analyseAtHead(pageText);
        return;
    }
    pageIntake(pageText, 0);
}

void ScanEngine::setStatus(int panel, const QString &text)
{
    m_frontEnd.setStatusText(panel, text);
    EventPump::pump();
}

bool ScanEngine::stillCurrent(quint64 generation) const
{
    return m_session.bScanning && generation == m_session.generation;
}

int ScanEngine::currentRow() const
{
    return m_session.iCurrentSite - 1;
}

QString ScanEngine::currentLinkingSiteUrl() const
{
    const int main = m_project.currentMainSite();
    if (main < 0 || main >= m_project.mainSiteCount())
        return QString();
    const QList<LinkingSite> &rows = m_project.linkingSites(main);
    const int row = currentRow();
    return row >= 0 && row < rows.size() ? rows.at(row).url : QString();
}

static bool isSecureUrl(const QString &url)
{
    return url.trimmed().startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// A Linking Site typed as "https://…" is fetched over TLS from its first page on.
void ScanEngine::noteSecureSite(const QString &linkingSiteUrl)
{
    if (isSecureUrl(linkingSiteUrl))
        m_secureHosts.markSecure(splitRequestTarget(linkingSiteUrl).host);
}

// A page URL that replaces a Linking Site URL typed with "https://" keeps that
// scheme, so the next scan still knows the site is secure.
QString ScanEngine::siteUrlAfterUpdate(const QString &pageUrl) const
{
    if (isSecureUrl(currentLinkingSiteUrl()) && !pageUrl.contains(QLatin1String("://")))
        return QStringLiteral("https://") + pageUrl;
    return pageUrl;
}

void ScanEngine::becomeSiteWorker(int cacheSlot, AnalysisGate *gate, const SecureHosts &knownSecureHosts,
                                  const RowKeyCounts *rowKeys)
{
    m_sharedRowKeys = rowKeys;
    m_ownRowKey = m_project.mainSiteCount() > 0 && !m_project.linkingSites(0).isEmpty()
                      ? rowSeenKey(m_project.linkingSites(0).at(0).url)
                      : QString();
    m_siteWorker = true;
    m_cacheSlot = cacheSlot;
    m_gate = gate;
    m_secureHosts = knownSecureHosts;
    m_secureHosts.recordMisses(true);
    m_fetcher->setSecureHosts(&m_secureHosts);
    m_fetcher->setFetchAhead(true);
}

void ScanEngine::analyseInTurn(std::function<void()> analysis)
{
    if (m_gate)
        m_gate->run(this, std::move(analysis));
    else
        analysis();
}

bool ScanEngine::otherRowHas(const RowKeyCounts &rowKeys, const QString &ownKey, const QString &key)
{
    const int rows = rowKeys.value(key) - (key == ownKey ? 1 : 0);
    return rows > 0;
}
