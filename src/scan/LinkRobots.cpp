// robots.txt in the link notes: a link row learns whether the site's file
// blocks its page, at once when the file is known, otherwise before its site
// ends. The site waits for the file rather than leave a row unchecked.
#include "scan/ScanEngine.h"

#include "model/Project.h"
#include "net/HttpFetcher.h"
#include "scan/RobotsCache.h"

#include <QSet>

LinkNotes::Flags ScanEngine::robotsFlagsOrPending(LinkNotes::Flags flags, const LinkResult &row)
{
    const FetchSlot &slot = m_fetcher->slotRecord(0);
    const QString key = m_robots->request(slot.requestHost, slot.secure);
    if (m_robots->isKnown(key))
        return flags | m_robots->notes(key, slot.path);
    RobotsPending pending;
    pending.key = key;
    pending.path = slot.path;
    pending.flags = flags;
    pending.row = row;
    pending.row.notes = LinkNotes::text(flags);
    m_robotsPending.append(pending);
    return flags;
}

static bool sameRow(const LinkResult &a, const LinkResult &b)
{
    return a.number == b.number && a.url == b.url && a.remoteSite == b.remoteSite && a.mainSite == b.mainSite
        && a.status == b.status && a.notes == b.notes;
}

void ScanEngine::applyKnownRobots()
{
    for (qsizetype i = 0; i < m_robotsPending.size();) {
        const RobotsPending &p = m_robotsPending.at(i);
        if (!m_robots->isKnown(p.key)) {
            ++i;
            continue;
        }
        if (const LinkNotes::Flags robots = m_robots->notes(p.key, p.path)) {
            // The user may have sorted the list meanwhile; a row changed by
            // hand is left as it is.
            const QList<LinkResult> &rows = m_project.results();
            for (qsizetype r = rows.size() - 1; r >= 0; --r) {
                if (sameRow(rows.at(r), p.row)) {
                    LinkResult row = rows.at(r);
                    row.notes = LinkNotes::text(p.flags | robots);
                    m_project.setResult(int(r), row);
                    break;
                }
            }
        }
        m_robotsPending.removeAt(i);
    }
}

// True while the site must wait: some of its link rows still lack their
// robots.txt. A Skip does not wait; what is known by then is applied.
bool ScanEngine::awaitRobots()
{
    ScanSession &s = m_session;
    applyKnownRobots();
    if (m_robotsPending.isEmpty() || s.bSkipClicked || !s.bScanning) {
        resetRobotsWait();
        return false;
    }
    if (m_awaitingRobots)
        return true;
    m_awaitingRobots = true;
    // Nothing more of the site's pages counts while it waits.
    ++s.generation;
    m_fetcher->closeSlot(0);
    m_fetcher->stopIdleTimer(0);
    m_frontEnd.setStatusText(2, QStringLiteral("Reading robots.txt"));
    const quint64 generation = s.generation;
    QSet<QString> keys;
    for (const RobotsPending &p : std::as_const(m_robotsPending))
        keys.insert(p.key);
    for (const QString &key : std::as_const(keys))
        m_robots->whenKnown(key, this, [this, generation] { robotsArrived(generation); });
    return true;
}

void ScanEngine::robotsArrived(quint64 generation)
{
    if (!m_awaitingRobots || !stillCurrent(generation))
        return;
    applyKnownRobots();
    if (!m_robotsPending.isEmpty())
        return;
    m_awaitingRobots = false;
    finishSite();
}

void ScanEngine::resetRobotsWait()
{
    m_robotsPending.clear();
    m_awaitingRobots = false;
}

bool ScanEngine::robotsUnderWay() const
{
    for (const RobotsPending &p : m_robotsPending) {
        if (!m_robots->isKnown(p.key))
            return true;
    }
    return false;
}
