#pragma once

#include "scan/ScanFrontEnd.h"

#include <QElapsedTimer>
#include <QStringList>

#include <functional>

// The front end of the headless scanner: progress on stderr (one line per
// finished Linking Site, and a live status line when stderr is a terminal),
// the selection given on the command line, messages collected for the exit.
class HeadlessFrontEnd : public ScanFrontEnd
{
public:
    HeadlessFrontEnd(bool quiet, int selectedMainSite, int selectedLinkingSite);

    void setStatusText(int panel, const QString &text) override;
    void showMessage(const QString &text) override;
    void linkingSiteFinished(const QString &mainSite, const QString &host, const QString &outcome) override;
    void scanStopped() override;
    int selectedMainSite() const override { return m_mainSite; }
    int firstSelectedLinkingSite() const override { return m_linkingSite; }

    void setOnStopped(std::function<void()> f) { m_onStopped = std::move(f); }
    bool stopped() const { return m_stopped; }
    bool someSiteWithoutLink() const { return m_siteWithoutLink; }
    const QStringList &messages() const { return m_messages; }

private:
    void drawLiveLine(bool force);
    void clearLiveLine();

    bool m_quiet;
    bool m_live;
    int m_mainSite;
    int m_linkingSite;
    QString m_panels[4];
    QElapsedTimer m_lastDraw;
    bool m_liveShown = false;
    bool m_stopped = false;
    bool m_siteWithoutLink = false;
    QStringList m_messages;
    std::function<void()> m_onStopped;
};
