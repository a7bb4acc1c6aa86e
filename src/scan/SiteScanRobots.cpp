// robots.txt in the link notes: a link row learns whether the site's file
// blocks its page, at once when the file is known, otherwise before its site
// ends. The site waits for the file rather than leave a row unchecked.
#include "scan/SiteScan.h"

#include "net/FetchChannel.h"
#include "scan/PageAnalyser.h"
#include "scan/RobotsCache.h"

#include <QSet>

LinkNotes::Flags SiteScan::robotsFlagsOrPending(LinkNotes::Flags flags, int row, const NotesSource &source)
{
    const QString key = m_robots.request(source.host, source.secure);
    if (m_robots.isKnown(key))
        return flags | m_robots.notes(key, source.path);
    RobotsPending pending;
    pending.key = key;
    pending.path = source.path;
    pending.flags = flags;
    pending.row = row;
    m_robotsPending.append(pending);
    return flags;
}

void SiteScan::applyKnownRobots()
{
    bool changed = false;
    for (qsizetype i = 0; i < m_robotsPending.size();) {
        const RobotsPending &p = m_robotsPending.at(i);
        if (!m_robots.isKnown(p.key)) {
            ++i;
            continue;
        }
        const LinkNotes::Flags robots = m_robots.notes(p.key, p.path);
        if (robots && p.row >= 0 && p.row < m_record.rows.size()) {
            LinkResult &row = m_record.rows[p.row];
            SiteScanRecord::NotesChange change;
            change.row = p.row;
            change.before = row.notes;
            row.notes = LinkNotes::text(p.flags | robots);
            change.notes = row.notes;
            m_record.notesChanges.append(change);
            changed = true;
        }
        m_robotsPending.removeAt(i);
    }
    if (changed)
        m_host.siteRecordGrew(*this);
}

// True while the site must wait: some of its link rows still lack their
// robots.txt. A Skip does not wait; what is known by then is applied.
bool SiteScan::awaitRobots()
{
    applyKnownRobots();
    if (m_robotsPending.isEmpty() || m_skipClicked || m_state != State::Running) {
        resetRobotsWait();
        return false;
    }
    if (m_awaitingRobots)
        return true;
    m_awaitingRobots = true;
    // Nothing more of the site's pages counts while it waits.
    dropWorkUnderWay();
    status(2, QStringLiteral("Reading robots.txt"));
    if (m_skipPending) {
        // Skipped while the status was shown: the site ends without waiting.
        m_skipPending = false;
        m_awaitingRobots = false;
        doSkip();
        return true;
    }
    const quint64 generation = m_generation;
    QSet<QString> keys;
    for (const RobotsPending &p : std::as_const(m_robotsPending))
        keys.insert(p.key);
    for (const QString &key : std::as_const(keys))
        m_robots.whenKnown(key, this, [this, generation] { later([this, generation] { robotsArrived(generation); }); });
    return true;
}

void SiteScan::robotsArrived(quint64 generation)
{
    if (!m_awaitingRobots || generation != m_generation || m_state != State::Running)
        return;
    Step step(*this);
    applyKnownRobots();
    if (!m_robotsPending.isEmpty())
        return;
    m_awaitingRobots = false;
    finishSite();
}

void SiteScan::resetRobotsWait()
{
    m_robotsPending.clear();
    m_awaitingRobots = false;
}

bool SiteScan::robotsUnderWay() const
{
    for (const RobotsPending &p : m_robotsPending) {
        if (!m_robots.isKnown(p.key))
            return true;
    }
    return false;
}
