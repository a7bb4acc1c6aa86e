#pragma once

#include "model/Project.h"
#include "scan/RobotsCache.h"
#include "scan/SeenPageLedger.h"
#include "scan/SiteScan.h"

#include <QStringList>

#include <memory>

// One Linking Site's scan without the network: its steps run at once, a
// page text is handed to it as the answer of the page it asked for, and
// robots.txt and redirect targets come from functions. For tests of the
// analysis on odd pages and for the fuzz target.
class SiteScanRig : public SiteScanHost
{
public:
    SiteScanRig();
    ~SiteScanRig() override;

    Project project;
    RobotsCache robots;
    SeenPageLedger ledger;
    int limit = 1;
    QStringList fileTypes{QStringLiteral(".html"), QStringLiteral(".htm")};
    SiteScan::RedirectDownload redirectDownload;

    // Starts the scan of the row; false when it ended before asking for a page.
    bool start(int main, int row);
    // The page the site asked for answers with the text; false when the site
    // is not waiting for one.
    bool feed(const QString &pageText);
    SiteScan *site() const { return m_site.get(); }
    bool finished() const { return m_site && m_site->hasFinished(); }

private:
    void siteStatus(const SiteScan &, int, const QString &) override {}
    void siteProgress(const SiteScan &, int) override {}
    void siteQueueChanged(const SiteScan &, QueueChange, const QString &) override {}
    void siteRecordGrew(const SiteScan &) override {}
    void siteFoundLink(const SiteScan &) override {}
    void siteFinished(const SiteScan &) override {}
    void siteResting(const SiteScan &) override {}
    int pageLimit() const override { return limit; }
    bool siteMayGoOn(const SiteScan &) const override { return true; }
    PageRenderer *renderer() override { return nullptr; }
    QString proofFolder() const override { return QString(); }
    bool otherRowHas(int main, int row, const QString &key) override { return ledger.otherRowHas(main, row, key); }

    std::unique_ptr<SiteScan> m_site;
};
