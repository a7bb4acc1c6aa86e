#pragma once

#include "scan/ScanFrontEnd.h"

#include <QList>
#include <QString>

// What became of each Linking Site of a headless scan, in scan order, as
// the scan concluded it: its rows, its errors, whether its page was read.
class ScanJournal
{
public:
    void siteConcluded(const SiteConclusion &site) { m_sites << site; }

    // Every site concluded, the one a Stop ended included.
    const QList<SiteConclusion> &sites() const { return m_sites; }

    // "None Found" and "Missing" are the outcomes of a site without its links.
    static bool isWithoutLink(const QString &outcome);

private:
    QList<SiteConclusion> m_sites;
};
