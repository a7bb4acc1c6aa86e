#include "scan/ScanPlan.h"

#include "model/Project.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

PlannedSite ScanPlan::next(PlannedSite after) const
{
    switch (m_scanType) {
    case 2:
        return {};
    case 1:
        if (after.row + 1 < m_project.linkingSites(after.main).size())
            return {after.main, after.row + 1};
        return {};
    default:
        return nextRowOrMainSite(after);
    }
}

PlannedSite ScanPlan::afterSkip(PlannedSite skipped, int skipType) const
{
    return skipType == 1 ? firstRowOfNextMainSite(skipped.main) : nextRowOrMainSite(skipped);
}

PlannedSite ScanPlan::nextRowOrMainSite(PlannedSite after) const
{
    if (after.main < 0 || after.main >= m_project.mainSiteCount())
        return {};
    if (after.row + 1 < m_project.linkingSites(after.main).size())
        return {after.main, after.row + 1};
    return firstRowOfNextMainSite(after.main);
}

PlannedSite ScanPlan::firstRowOfNextMainSite(int afterMain) const
{
    for (int next = afterMain + 1; next < m_project.mainSiteCount(); ++next) {
        QString url = m_project.mainSite(next).url;
        if (!m_project.linkingSites(next).isEmpty() && !isBlankEntry(normaliseMainSite(url)))
            return {next, 0};
    }
    return {};
}
