// The idle time-out: the fetch slot's one-second timer ends a page whose
// server has sent nothing for TimeOut seconds, and with it the site.
// A server that drips a byte before every tick never goes idle and would hold
// the scan on one page for ever: a page still arriving after
// kPageTimeOutFactor times the time-out ends the same way.
#include "scan/ScanEngine.h"

#include "model/Project.h"
#include "net/HttpFetcher.h"

void ScanEngine::onIdleTick(int slot)
{
    ScanSession &s = m_session;
    // A site waiting for robots.txt has no page in flight to time out.
    if (!s.bScanning || m_awaitingRobots)
        return;
    const quint64 generation = s.generation;
    setStatus(4, QStringLiteral("%1 of %2 seconds").arg(m_fetcher->addIdleSecond(slot)).arg(s.timeOut));
    if (!stillCurrent(generation))
        return;
    // Read after the events ran: data that arrived meanwhile restarted the count.
    const int idle = m_fetcher->slotRecord(slot).idleSeconds;
    const qint64 pageSeconds = m_fetcher->slotRecord(slot).pageSeconds;
    if (idle >= s.timeOut || pageSeconds >= kPageTimeOutFactor * s.timeOut) {
        m_project.appendError({QStringLiteral("Timeout"), m_fetcher->slotRecord(slot).host});
        s.strSiteNote = QStringLiteral("Timeout");
        finishSite();
    }
}
