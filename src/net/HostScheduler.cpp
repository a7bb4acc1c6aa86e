#include "net/HostScheduler.h"

#include "net/HostName.h"

#include <QDateTime>
#include <QTimer>

HostScheduler::HostScheduler(QObject *parent)
    : QObject(parent)
    , m_pool(this)
{
}

QString HostScheduler::hostKey(const QString &host)
{
    QString key = asciiHost(host).toLower();
    const qsizetype colon = key.indexOf(QLatin1Char(':'));
    if (colon >= 0)
        key.truncate(colon);
    if (key.startsWith(QLatin1String("www.")))
        key.remove(0, 4);
    return key;
}

void HostScheduler::noteBusy(const QString &key)
{
    m_mostAtOnce = qMax(m_mostAtOnce, m_hosts.value(key).busy());
}

bool HostScheduler::acquire(const QString &host, Lane lane, QObject *context, std::function<void()> whenGranted,
                            Ticket *ticket)
{
    const QString key = hostKey(host);
    *ticket = ++m_next;
    m_tickets.insert(*ticket, {key, lane});
    LaneState &state = laneOf(key, lane);
    if (!state.holder && state.waiting.empty() && !m_heldUntil.contains(key)) {
        state.holder = *ticket;
        noteBusy(key);
        return true;
    }
    state.waiting.push_back({*ticket, context, std::move(whenGranted)});
    return false;
}

void HostScheduler::hold(const QString &host, int ms)
{
    const QString key = hostKey(host);
    const qint64 until = QDateTime::currentMSecsSinceEpoch() + qMax(0, ms);
    if (m_heldUntil.value(key) >= until)
        return;
    m_heldUntil.insert(key, until);
    const quint64 epoch = m_epoch;
    QTimer::singleShot(qMax(0, ms), this, [this, key, until, epoch] {
        if (epoch == m_epoch && m_heldUntil.value(key) == until)
            endHold(key);
    });
}

bool HostScheduler::isHeld(const QString &host) const
{
    return m_heldUntil.contains(hostKey(host));
}

void HostScheduler::endHold(const QString &key)
{
    m_heldUntil.remove(key);
    grantNext(key, Lane::Page);
    grantNext(key, Lane::Side);
}

bool HostScheduler::tryAcquire(const QString &host, Lane lane, Ticket *ticket)
{
    const QString key = hostKey(host);
    LaneState &state = laneOf(key, lane);
    if (state.holder || !state.waiting.empty() || m_heldUntil.contains(key))
        return false;
    *ticket = ++m_next;
    m_tickets.insert(*ticket, {key, lane});
    state.holder = *ticket;
    noteBusy(key);
    return true;
}

void HostScheduler::release(Ticket ticket)
{
    const auto found = m_tickets.constFind(ticket);
    if (found == m_tickets.constEnd())
        return;
    const TicketInfo info = *found;
    m_tickets.erase(found);
    LaneState &state = laneOf(info.key, info.lane);
    if (state.holder == ticket) {
        state.holder = 0;
        grantNext(info.key, info.lane);
        return;
    }
    for (auto it = state.waiting.begin(); it != state.waiting.end(); ++it) {
        if (it->ticket == ticket) {
            state.waiting.erase(it);
            return;
        }
    }
}

// The next in line gets the lane; it hears of it from the event loop, never
// inside the release of the one before.
void HostScheduler::grantNext(const QString &key, Lane lane)
{
    if (m_heldUntil.contains(key))
        return; // the hold's end grants it
    LaneState &state = laneOf(key, lane);
    while (!state.waiting.empty() && !state.holder) {
        Waiter waiter = std::move(state.waiting.front());
        state.waiting.pop_front();
        if (!waiter.context) {
            m_tickets.remove(waiter.ticket);
            continue;
        }
        state.holder = waiter.ticket;
        noteBusy(key);
        const Ticket ticket = waiter.ticket;
        const quint64 epoch = m_epoch;
        QMetaObject::invokeMethod(
            this,
            [this, ticket, epoch, context = waiter.context, callback = std::move(waiter.whenGranted)] {
                if (epoch != m_epoch || !m_tickets.contains(ticket))
                    return; // released or cleared meanwhile
                if (!context) {
                    release(ticket);
                    return;
                }
                callback();
            },
            Qt::QueuedConnection);
    }
}

void HostScheduler::clear()
{
    ++m_epoch;
    m_hosts.clear();
    m_tickets.clear();
    m_heldUntil.clear();
    m_mostAtOnce = 0;
    m_pool.clear();
}
