// The scan statistics; pages scanned and links found also count towards the
// all-runs totals kept in the settings store.
#include "scan/ScanEngine.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

void ScanEngine::bumpStatistic(Counter counter)
{
    SettingsStore &store = SettingsStore::instance();
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
        store.write(Keys::lHistWebScanned, QString::number(m_stats.allRunsPagesScanned));
        break;
    case Counter::PagesFound:
        ++m_stats.pagesFound;
        break;
    case Counter::LinksFound:
        ++m_stats.linksFound;
        ++m_stats.allRunsLinksFound;
        store.write(Keys::lHistEmailFound, QString::number(m_stats.allRunsLinksFound));
        break;
    }
    m_frontEnd.statisticsChanged(m_stats);
}
