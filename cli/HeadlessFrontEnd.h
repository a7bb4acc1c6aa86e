#pragma once

#include "scan/ScanFrontEnd.h"

#include <QElapsedTimer>
#include <QStringList>

#include <functional>

class ScanJournal;

// The front end of the headless scanner: the selection given on the command
// line, messages collected for the exit, each concluded site in the journal,
// and progress on stderr when stderr is a terminal (a line per finished
// Linking Site under one updating status line). Nothing is drawn when stderr
// is a file or a pipe, so a scheduled run stays silent.
class HeadlessFrontEnd : public ScanFrontEnd
{
public:
    HeadlessFrontEnd(bool showProgress, int selectedMainSite, int selectedLinkingSite, ScanJournal &journal);

    // The number of Linking Sites the scan will visit, for "3 of 12".
    void setSitesToScan(int count) { m_sitesToScan = count; }

    void setStatusText(int panel, const QString &text) override;
    void statisticsChanged(const ScanStatistics &stats) override;
    void showMessage(const QString &text) override;
    void linkingSiteFinished(const QString &mainSite, const QString &host, const QString &outcome) override;
    void linkingSiteConcluded(const SiteConclusion &site) override;
    void scanStopped() override;
    int selectedMainSite() const override { return m_mainSite; }
    int firstSelectedLinkingSite() const override { return m_linkingSite; }

    void setOnStopped(std::function<void()> f) { m_onStopped = std::move(f); }
    bool stopped() const { return m_stopped; }
    bool someSiteWithoutLink() const { return m_siteWithoutLink; }
    const QStringList &messages() const { return m_messages; }

    // Whether stderr is a terminal that can show an updating line.
    static bool stderrIsTerminal();

private:
    void drawLiveLine(bool force);
    void clearLiveLine();

    bool m_live;
    int m_mainSite;
    int m_linkingSite;
    ScanJournal &m_journal;
    int m_sitesToScan = 0;
    ScanStatistics m_stats;
    QString m_searching;
    QElapsedTimer m_lastDraw;
    bool m_liveShown = false;
    bool m_stopped = false;
    bool m_siteWithoutLink = false;
    QStringList m_messages;
    std::function<void()> m_onStopped;
};
