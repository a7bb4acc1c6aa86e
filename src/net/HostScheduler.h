#pragma once

#include "net/ConnectionPool.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>

// Politeness towards the hosts a scan talks to, by the host actually
// connected (case, a leading "www." and the port left out): at most one page
// connection at a time, first come first served whichever site asks, plus at
// most one side connection (robots.txt, or the next page asked for ahead).
// Page fetches, the downloads behind redirect pages and robots.txt all take
// their turn here, so a host never sees more than two connections at once.
// The connections themselves, kept alive between requests, are the pool's.
class HostScheduler : public QObject
{
    Q_OBJECT
public:
    enum class Lane { Page, Side };
    using Ticket = quint64;

    explicit HostScheduler(QObject *parent = nullptr);

    static QString hostKey(const QString &host);

    // Asks for a connection. True: granted at once (the callback is not
    // called). False: the request waits its turn and the callback comes from
    // the event loop once granted (never if the ticket is released first or
    // the context is gone).
    bool acquire(const QString &host, Lane lane, QObject *context, std::function<void()> whenGranted,
                 Ticket *ticket);
    // A connection only if the lane is free now and nobody waits for it: for
    // work that may as well not be done.
    bool tryAcquire(const QString &host, Lane lane, Ticket *ticket);
    // Ends a connection's turn, or gives up a place in the queue.
    void release(Ticket ticket);
    // The host asked to be left alone for a while (429 Too Many Requests):
    // no new connection to it until the time has passed; others go on.
    void hold(const QString &host, int ms);
    bool isHeld(const QString &host) const;
    // Forgets everything (a new scan); callbacks still queued are not called.
    void clear();

    // The most connections one host had at once since the last clear.
    int mostAtOnce() const { return m_mostAtOnce; }

    // The scan's connections, TLS sessions, cookies and proxy choice.
    ConnectionPool &pool() { return m_pool; }

private:
    struct Waiter
    {
        Ticket ticket = 0;
        QPointer<QObject> context;
        std::function<void()> whenGranted;
    };
    struct LaneState
    {
        Ticket holder = 0;
        std::deque<Waiter> waiting;
    };
    struct HostState
    {
        LaneState lanes[2];
        int busy() const { return (lanes[0].holder ? 1 : 0) + (lanes[1].holder ? 1 : 0); }
    };
    struct TicketInfo
    {
        QString key;
        Lane lane;
    };
    LaneState &laneOf(const QString &key, Lane lane) { return m_hosts[key].lanes[lane == Lane::Page ? 0 : 1]; }
    void grantNext(const QString &key, Lane lane);
    void noteBusy(const QString &key);

    void endHold(const QString &key);

    ConnectionPool m_pool;
    QHash<QString, HostState> m_hosts;
    QHash<QString, qint64> m_heldUntil; // by host key, ms since the epoch
    QHash<Ticket, TicketInfo> m_tickets; // granted or waiting
    Ticket m_next = 0;
    quint64 m_epoch = 0;
    int m_mostAtOnce = 0;
};
