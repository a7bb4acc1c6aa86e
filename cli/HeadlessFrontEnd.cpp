#include "HeadlessFrontEnd.h"

#include "ScanJournal.h"

#include <QLocale>

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

HeadlessFrontEnd::HeadlessFrontEnd(bool showProgress, int selectedMainSite, int selectedLinkingSite,
                                   ScanJournal &journal)
    : m_live(showProgress && stderrIsTerminal())
    , m_mainSite(selectedMainSite)
    , m_linkingSite(selectedLinkingSite)
    , m_journal(journal)
{
}

bool HeadlessFrontEnd::stderrIsTerminal()
{
    return isatty(STDERR_FILENO) == 1;
}

static int terminalColumns()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void HeadlessFrontEnd::setStatusText(int panel, const QString &text)
{
    // Panel 3 names the site being searched ("Searching www.example.com").
    if (panel != 3)
        return;
    m_searching = text;
    if (m_live)
        drawLiveLine(false);
}

void HeadlessFrontEnd::statisticsChanged(const ScanStatistics &stats)
{
    m_stats = stats;
    if (m_live)
        drawLiveLine(false);
}

void HeadlessFrontEnd::linkingSiteConcluded(const SiteConclusion &site)
{
    m_journal.siteConcluded(site);
}

// The line is redrawn at most ten times a second: drawing it for every
// status change would cost more than the scan. It is cut to the terminal's
// width, since a wrapped line could no longer be overwritten.
void HeadlessFrontEnd::drawLiveLine(bool force)
{
    if (!force && m_lastDraw.isValid() && m_lastDraw.elapsed() < 100)
        return;
    m_lastDraw.start();
    const QLocale locale;
    QString line = QStringLiteral("%1 of %2 Linking Sites done, %3 pages, %4 links found")
                       .arg(locale.toString(m_stats.linkingSites), locale.toString(m_sitesToScan),
                            locale.toString(m_stats.pagesScanned), locale.toString(m_stats.linksFound));
    if (!m_searching.isEmpty())
        line += QStringLiteral(" - ") + m_searching;
    const int width = terminalColumns() - 1;
    if (line.size() > width)
        line = line.left(qMax(0, width - 3)) + QStringLiteral("...");
    std::fprintf(stderr, "\r\033[K%s", line.toLocal8Bit().constData());
    std::fflush(stderr);
    m_liveShown = true;
}

void HeadlessFrontEnd::clearLiveLine()
{
    if (!m_liveShown)
        return;
    std::fputs("\r\033[K", stderr);
    m_liveShown = false;
}

void HeadlessFrontEnd::showMessage(const QString &text)
{
    m_messages << text;
}

void HeadlessFrontEnd::linkingSiteFinished(const QString &mainSite, const QString &host, const QString &outcome)
{
    if (ScanJournal::isWithoutLink(outcome))
        m_siteWithoutLink = true;
    if (!m_live)
        return;
    clearLiveLine();
    std::fprintf(stderr, "%s\t%s\t%s\n", mainSite.toLocal8Bit().constData(), host.toLocal8Bit().constData(),
                 outcome.toLocal8Bit().constData());
    drawLiveLine(true);
}

void HeadlessFrontEnd::scanStopped()
{
    clearLiveLine();
    std::fflush(stderr);
    m_stopped = true;
    if (m_onStopped)
        m_onStopped();
}
