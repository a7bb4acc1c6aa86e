#pragma once

#include "scan/ScanFrontEnd.h"
#include "scan/ScanPlan.h"

class Project;
class SecureHosts;
class SeenPageLedger;
struct SiteScanRecord;

// Applies what sites recorded to the scan, in the order of the one-site scan:
// the rows, errors, URL update and colour of a Linking Site, its rules.log
// entries, the secure hosts it learned and its counts. It is handed a
// record again as the record grows; what was applied before is not applied
// twice.
class CommitSequencer
{
public:
    // How much of a record has been applied.
    struct Applied
    {
        int rows = 0;
        int errors = 0;
        int notesChanges = 0;
        int ruleLog = 0;
        int secureHosts = 0;
        int urlChanges = 0;
        int colourChanges = 0;
        bool proof = false;
        qint64 pagesScanned = 0;
        qint64 pagesFound = 0;
        qint64 linksFound = 0;
    };

    CommitSequencer(Project &project, SeenPageLedger &ledger, SecureHosts &secureHosts, ScanStatistics &stats);

    // Applies what is new in the record. The site's row must still be
    // where the plan put it (the caller checks).
    void apply(PlannedSite site, const SiteScanRecord &record, Applied &applied);
    // The counts of the record not yet applied, added to the given totals.
    static void addPending(const SiteScanRecord &record, const Applied &applied, ScanStatistics &totals);
    // The cache files of the last page analysed, from a committed site's last page.
    static void writeCache(const QString &lastPage);

private:
    Project &m_project;
    SeenPageLedger &m_ledger;
    SecureHosts &m_secureHosts;
    ScanStatistics &m_stats;
};
