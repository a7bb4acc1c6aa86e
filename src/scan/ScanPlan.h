#pragma once

class Project;

// One Linking Site of a scan: its Main Site's position and its row.
struct PlannedSite
{
    int main = -1;
    int row = -1;
    bool isValid() const { return main >= 0 && row >= 0; }
    bool operator==(const PlannedSite &o) const { return main == o.main && row == o.row; }
};

// The order in which a scan of one site at a time visits the Linking Sites:
// what comes after a finished site, and after a skipped one. Sites scanned
// side by side follow it, so their rows can be committed in the same order.
class ScanPlan
{
public:
    ScanPlan(const Project &project, int scanType) : m_project(project), m_scanType(scanType) {}

    // The site scanned after this one finished by itself (invalid: the scan ends).
    PlannedSite next(PlannedSite after) const;
    // The site scanned after this one was skipped: skip type 1 moves to the
    // next Main Site, any other to the next site as a scan of all Main Sites would.
    PlannedSite afterSkip(PlannedSite skipped, int skipType) const;

private:
    PlannedSite nextRowOrMainSite(PlannedSite after) const;
    // A Main Site without Linking Sites, or whose URL is blank once
    // normalised, is passed over.
    PlannedSite firstRowOfNextMainSite(int afterMain) const;

    const Project &m_project;
    int m_scanType;
};
