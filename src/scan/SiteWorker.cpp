#include "scan/SiteWorker.h"

#include "scan/ScanCoordinator.h"
#include "url/UrlText.h"

QString SiteWorker::politeHostKey(const QString &url)
{
    QString host = hostOfCopy(url).toLower();
    if (host.startsWith(QLatin1String("www.")))
        host = host.mid(4);
    return host;
}

SiteWorker::SiteWorker(ScanCoordinator &coordinator, const Project &source, PlannedSite site, int cacheSlot)
    : m_coordinator(coordinator)
    , m_site(site)
    , m_cacheSlot(cacheSlot)
    , m_engine(m_project, *this)
{
    m_project.loadScanCopy(source, site.main, site.row);
    m_hostKey = politeHostKey(source.linkingSites(site.main).at(site.row).url);
}

SiteWorker::~SiteWorker()
{
    m_head = nullptr;
    m_engine.shutdown();
}

void SiteWorker::start()
{
    const ScanEngine &lead = m_coordinator.engine();
    m_engine.setPort(lead.port());
    m_engine.setTlsPort(lead.tlsPort());
    m_engine.setPageLimit(lead.pageLimit());
    m_engine.setScanType(2);
    m_engine.setSkipType(0);
    // robots.txt is read once per host for the whole scan, whichever site asks first.
    m_engine.setRobotsCache(lead.robotsCache());
    m_engine.setRedirectDownload(lead.redirectDownload());
    m_engine.becomeSiteWorker(m_cacheSlot, &m_coordinator.gate(), m_coordinator.knownSecureHosts(),
                              &m_coordinator.rowKeys(m_site.main));
    m_engine.startScan();
    // A site the engine would not start has nothing to commit.
    if (!m_engine.isScanning() && !m_stopped) {
        m_stopped = true;
        m_coordinator.workerStopped(this);
    }
}

void SiteWorker::skip()
{
    m_engine.skipCurrent();
}

void SiteWorker::stop()
{
    m_engine.stopScan();
}

void SiteWorker::setHead(ScanFrontEnd *frontEnd)
{
    m_head = frontEnd;
    if (!m_head)
        return;
    m_head->queueCleared();
    for (const QString &url : m_engine.session().queue.entries())
        m_head->queueAppended(url);
}

void SiteWorker::setStatusText(int panel, const QString &text)
{
    if (m_head && !m_stopped)
        m_coordinator.headStatus(panel, text);
}

void SiteWorker::setProgress(int percent)
{
    if (m_head && !m_stopped)
        m_head->setProgress(percent);
}

void SiteWorker::statisticsChanged(const ScanStatistics &)
{
    m_coordinator.workerCounted();
}

void SiteWorker::queueAppended(const QString &url)
{
    if (m_head && !m_stopped)
        m_head->queueAppended(url);
}

void SiteWorker::queuePopped()
{
    if (m_head && !m_stopped)
        m_head->queuePopped();
}

void SiteWorker::queueCleared()
{
    if (m_head && !m_stopped)
        m_head->queueCleared();
}

void SiteWorker::linkingSiteFinished(const QString &mainSite, const QString &host, const QString &outcome)
{
    m_outcomeRecorded = true;
    m_outcomeMainSite = mainSite;
    m_outcomeHost = host;
    m_outcome = outcome;
}

void SiteWorker::scanStopped()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_coordinator.workerStopped(this);
}
