#include "HeadlessFrontEnd.h"

#include <cstdio>
#include <unistd.h>

HeadlessFrontEnd::HeadlessFrontEnd(bool quiet, int selectedMainSite, int selectedLinkingSite)
    : m_quiet(quiet)
    , m_live(!quiet && isatty(STDERR_FILENO))
    , m_mainSite(selectedMainSite)
    , m_linkingSite(selectedLinkingSite)
{
}

void HeadlessFrontEnd::setStatusText(int panel, const QString &text)
{
    if (panel < 1 || panel > 4)
        return;
    m_panels[panel - 1] = text;
    if (m_live)
        drawLiveLine(false);
}

// A terminal line is redrawn at most ten times a second: drawing it for every
// status change would cost more than the scan.
void HeadlessFrontEnd::drawLiveLine(bool force)
{
    if (!force && m_lastDraw.isValid() && m_lastDraw.elapsed() < 100)
        return;
    m_lastDraw.start();
    QStringList parts;
    for (const QString &p : m_panels)
        if (!p.isEmpty())
            parts << p;
    QString line = parts.join(QStringLiteral(" | "));
    if (line.size() > 150)
        line = line.left(147) + QStringLiteral("...");
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
    if (outcome.startsWith(QLatin1String("None Found")) || outcome.startsWith(QLatin1String("Missing")))
        m_siteWithoutLink = true;
    if (m_quiet)
        return;
    clearLiveLine();
    std::fprintf(stderr, "%s\t%s\t%s\n", mainSite.toLocal8Bit().constData(), host.toLocal8Bit().constData(),
                 outcome.toLocal8Bit().constData());
    std::fflush(stderr);
}

void HeadlessFrontEnd::scanStopped()
{
    clearLiveLine();
    m_stopped = true;
    if (m_onStopped)
        m_onStopped();
}
