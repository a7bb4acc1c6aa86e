// The closing row of a finished Linking Site and the reset of its state.
#include "scan/ScanEngine.h"

#include "model/Project.h"
#include "net/HttpFetcher.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

void ScanEngine::recordSiteOutcome()
{
    ScanSession &s = m_session;
    const SettingsStore &store = SettingsStore::instance();
    const QString note = isBlankEntry(s.strSiteNote) ? QString() : QStringLiteral(" (") + s.strSiteNote + QLatin1Char(')');
    const int main = m_project.currentMainSite();
    const int row = currentRow();

    LinkResult closing;
    closing.mainSite = s.strMainSite;
    closing.remoteSite = hostOf(s.strLinkingSite);
    QString outcome;
    if (s.bLinkFound) {
        if (s.iLinksFound < s.iLinksExpected) {
            closing.icon = 1;
            closing.colour = RowColour::Red;
            closing.status = QStringLiteral("Missing ") + threeDigits(s.iLinksExpected - s.iLinksFound);
            closing.number = QStringLiteral("000");
            closing.url = m_fetcher->strCurUrl();
            m_project.appendResult(closing);
            outcome = closing.status;
        } else {
            outcome = m_firstLinkStatus;
        }
    } else if (s.bMentionSeen && store.readFlag(Keys::chkRedirect, true)) {
        closing.icon = 2;
        closing.colour = RowColour::Blue;
        closing.status = QStringLiteral("Redirect Link");
        closing.number = QStringLiteral("001");
        closing.url = s.strMentionPage;
        m_project.appendResult(closing);
        m_project.setLinkingSiteColour(main, row, RowColour::Green);
        bumpStatistic(Counter::LinksFound);
        if (store.readFlag(Keys::chkUpdate, true))
            m_project.setLinkingSiteUrl(main, row, siteUrlAfterUpdate(s.strMentionPage));
        outcome = closing.status;
    } else {
        closing.icon = 1;
        closing.colour = RowColour::Red;
        closing.status = QStringLiteral("None Found") + note;
        closing.number = QStringLiteral("000");
        closing.url = s.strLinkingSite; // the host, after hostOf above
        m_project.appendResult(closing);
        m_project.setLinkingSiteColour(main, row, RowColour::Red);
        outcome = closing.status;
    }
    m_frontEnd.linkingSiteFinished(s.strMainSite, closing.remoteSite, outcome);

    storeAllRunsCounters();
    resetRobotsWait();
    s.resetForSite();
    m_frontEnd.queueCleared();
    m_firstLinkStatus.clear();
}
