#include "support/SiteScanRig.h"

#include "url/UrlText.h"

SiteScanRig::SiteScanRig() = default;
SiteScanRig::~SiteScanRig() = default;

bool SiteScanRig::start(int main, int row)
{
    m_site.reset();
    ledger.reset(project);
    SiteSetup setup;
    setup.site = {main, row};
    setup.mainSiteCount = project.mainSiteCount();
    setup.mainSiteUrl = project.mainSite(main).url;
    QString url = setup.mainSiteUrl;
    setup.mainSite = normaliseMainSite(url);
    setup.row = project.linkingSites(main).at(row);
    setup.rules = project.rules();
    setup.fileTypes = fileTypes;
    setup.timeOut = 600;
    m_site = std::make_unique<SiteScan>(setup, *this, nullptr, robots);
    m_site->setSynchronous(true);
    m_site->setRedirectDownload(redirectDownload);
    m_site->start();
    return m_site->isRunning();
}

bool SiteScanRig::feed(const QString &pageText)
{
    if (!m_site || !m_site->isRunning())
        return false;
    m_site->takePageText(pageText);
    return true;
}
