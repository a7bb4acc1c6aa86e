// The scan statistics; pages scanned and links found also count towards the
// all-runs totals kept in the settings store.
#include "scan/ScanEngine.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

void ScanEngine::bumpStatistic(Counter counter)
{
    switch (counter) {
    case Counter::MainSites:
        ++m_stats.mainSites;
        break;
    case Counter::LinkingSites:
        ++m_stats.linkingSites;
        break;
    case Counter::PagesScanned:
        ++m_stats.pagesScanned;
        ++m_stats.allRunsPagesScanned;
        m_allRunsPending = true;
        break;
    case Counter::PagesFound:
        ++m_stats.pagesFound;
        break;
    case Counter::LinksFound:
        ++m_stats.linksFound;
        ++m_stats.allRunsLinksFound;
        m_allRunsPending = true;
        break;
    }
    m_frontEnd.statisticsChanged(m_stats);
    if (m_allRunsPending && (!m_allRunsClock.isValid() || m_allRunsClock.elapsed() >= kAllRunsWriteIntervalMs))
        storeAllRunsCounters();
}

// The store writes its file on every change it sees; a write per page would
// cost more than fetching the page. Nothing reads the totals during a scan,
// so they are stored at most once a second, at every finished site and when
// the scan stops.
void ScanEngine::storeAllRunsCounters()
{
    // A site scanned beside others leaves the totals to the scan it belongs to.
    if (!m_allRunsPending || m_siteWorker)
        return;
    SettingsStore &store = SettingsStore::instance();
    store.write(Keys::lHistWebScanned, QString::number(m_stats.allRunsPagesScanned));
    store.write(Keys::lHistEmailFound, QString::number(m_stats.allRunsLinksFound));
    m_allRunsPending = false;
    m_allRunsClock.start();
}
