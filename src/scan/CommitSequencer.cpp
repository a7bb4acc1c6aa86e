#include "scan/CommitSequencer.h"

#include "model/Project.h"
#include "net/SecureHosts.h"
#include "scan/PageCache.h"
#include "scan/ScanRules.h"
#include "scan/SeenPageLedger.h"
#include "scan/SiteScanRecord.h"

CommitSequencer::CommitSequencer(Project &project, SeenPageLedger &ledger, SecureHosts &secureHosts,
                                 ScanStatistics &stats)
    : m_project(project)
    , m_ledger(ledger)
    , m_secureHosts(secureHosts)
    , m_stats(stats)
{
}

static bool sameRow(const LinkResult &a, const LinkResult &b)
{
    return a.number == b.number && a.url == b.url && a.remoteSite == b.remoteSite && a.mainSite == b.mainSite
        && a.status == b.status && a.notes == b.notes;
}

void CommitSequencer::apply(PlannedSite site, const SiteScanRecord &record, Applied &applied)
{
    const int firstNewRow = applied.rows;
    // A row whose robots.txt answer came later: in the list already, it is
    // found again (the user may have sorted the list) and changed there; a
    // row changed by hand is left as it is.
    for (; applied.notesChanges < record.notesChanges.size(); ++applied.notesChanges) {
        const SiteScanRecord::NotesChange &change = record.notesChanges.at(applied.notesChanges);
        if (change.row < 0 || change.row >= firstNewRow)
            continue; // not in the list yet: it goes there with its new notes
        LinkResult before = record.rows.at(change.row);
        before.notes = change.before;
        const QList<LinkResult> &rows = m_project.results();
        for (qsizetype r = rows.size() - 1; r >= 0; --r) {
            if (sameRow(rows.at(r), before)) {
                LinkResult row = rows.at(r);
                row.notes = change.notes;
                m_project.setResult(int(r), row);
                break;
            }
        }
    }
    // The picture of a site's link comes once its link rows are in the list:
    // they are found again there and given it.
    if (!applied.proof && !record.proofPath.isEmpty()) {
        applied.proof = true;
        for (int i = 0; i < firstNewRow && i < record.rows.size(); ++i) {
            const LinkResult &done = record.rows.at(i);
            if (done.icon != 2)
                continue;
            const QList<LinkResult> &rows = m_project.results();
            for (qsizetype r = rows.size() - 1; r >= 0; --r) {
                if (sameRow(rows.at(r), done) && rows.at(r).proof.isEmpty()) {
                    LinkResult row = rows.at(r);
                    row.proof = record.proofPath;
                    m_project.setResult(int(r), row);
                    break;
                }
            }
        }
    }
    const bool rowThere = site.main >= 0 && site.main < m_project.mainSiteCount() && site.row >= 0
        && site.row < m_project.linkingSites(site.main).size();
    // The order of the one-site scan: a link row, then its Linking Site's
    // colour and URL update.
    for (; applied.rows < record.rows.size(); ++applied.rows)
        m_project.appendResult(record.rows.at(applied.rows));
    for (; applied.errors < record.errors.size(); ++applied.errors)
        m_project.appendError(record.errors.at(applied.errors));
    if (rowThere && applied.colourChanges != record.colourChanges) {
        applied.colourChanges = record.colourChanges;
        m_project.setLinkingSiteColour(site.main, site.row, record.colour);
    }
    if (rowThere && applied.urlChanges != record.urlChanges) {
        applied.urlChanges = record.urlChanges;
        if (m_project.linkingSites(site.main).at(site.row).url != record.url) {
            m_project.setLinkingSiteUrl(site.main, site.row, record.url);
            m_ledger.rowChanged(site.main, site.row, record.url);
        }
    }
    for (; applied.ruleLog < record.ruleLog.size(); ++applied.ruleLog)
        logRejection(record.ruleLog.at(applied.ruleLog).first, record.ruleLog.at(applied.ruleLog).second);
    for (; applied.secureHosts < record.secureHosts.size(); ++applied.secureHosts)
        m_secureHosts.markSecure(record.secureHosts.at(applied.secureHosts));

    const qint64 scanned = record.pagesScanned - applied.pagesScanned;
    const qint64 links = record.linksFound - applied.linksFound;
    m_stats.pagesScanned += scanned;
    m_stats.allRunsPagesScanned += scanned;
    m_stats.pagesFound += record.pagesFound - applied.pagesFound;
    m_stats.linksFound += links;
    m_stats.allRunsLinksFound += links;
    applied.pagesScanned = record.pagesScanned;
    applied.pagesFound = record.pagesFound;
    applied.linksFound = record.linksFound;
}

void CommitSequencer::addPending(const SiteScanRecord &record, const Applied &applied, ScanStatistics &totals)
{
    totals.pagesScanned += record.pagesScanned - applied.pagesScanned;
    totals.pagesFound += record.pagesFound - applied.pagesFound;
    totals.linksFound += record.linksFound - applied.linksFound;
}

void CommitSequencer::writeCache(const QString &lastPage)
{
    PageCache::write(PageCache::cachePath(0), PageCache::strippedCachePath(0), lastPage);
}
