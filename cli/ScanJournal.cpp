#include "ScanJournal.h"

#include "model/Project.h"

bool ScanJournal::isWithoutLink(const QString &outcome)
{
    return outcome.startsWith(QLatin1String("None Found")) || outcome.startsWith(QLatin1String("Missing"));
}

// The engine selects a row just before it starts on that site; rows and
// errors appended from here on belong to it until it is finished.
void ScanJournal::siteStarted(int mainPos, int row)
{
    m_mainPos = mainPos;
    m_row = row;
    const bool valid = mainPos >= 0 && mainPos < m_project.mainSiteCount() && row >= 0
        && row < m_project.linkingSites(mainPos).size();
    m_url = valid ? m_project.linkingSites(mainPos).at(row).url : QString();
    m_firstResult = m_project.results().size();
    m_firstError = m_project.errors().size();
}

void ScanJournal::siteFinished(const QString &mainSite, const QString &host, const QString &outcome)
{
    Site site;
    site.mainSite = mainSite;
    site.url = m_url;
    site.host = host;
    site.status = outcome;
    site.linked = !isWithoutLink(outcome);
    const QList<LinkResult> &results = m_project.results();
    const QList<ErrorEntry> &errors = m_project.errors();
    site.rows = results.mid(qMin(m_firstResult, results.size()));
    site.errors = errors.mid(qMin(m_firstError, errors.size()));
    if (m_mainPos >= 0 && m_mainPos < m_project.mainSiteCount() && m_row >= 0
        && m_row < m_project.linkingSites(m_mainPos).size()) {
        const QString now = m_project.linkingSites(m_mainPos).at(m_row).url;
        if (now != m_url)
            site.updatedUrl = now;
    }
    m_sites << site;
    m_firstResult = results.size();
    m_firstError = errors.size();
}
