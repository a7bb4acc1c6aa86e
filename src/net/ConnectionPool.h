#pragma once

#include "net/CookieJar.h"
#include "net/HttpConnection.h"
#include "net/ProxyChoice.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QTimer>

#include <optional>

// What one scan keeps of its connections: the kept-alive connections to
// every origin, the TLS configuration (the CA store read once) and the
// sessions to resume, the cookie jar and the proxy choice. Shared by page
// fetches, robots.txt and redirect downloads; clear() starts a new scan.
//
// A host (as the host scheduler counts hosts) never has more than
// kMostPerHost connections open, kept ones included: one that must be opened
// closes a kept one of its host first. A kept connection goes when its time
// is up (the server's Keep-Alive timeout less a second, at most kKeepMs), when
// the server closes it or sends what nobody asked for, or to make room.
//
// A connection may also be opened ahead for a request about to come (the
// first page of a site that starts soon): its handshakes are done while
// other sites run, and the request takes it, ready or still opening.
class ConnectionPool : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMostPerHost = 2;
    static constexpr int kMostKept = 128;
    static constexpr int kKeepMs = 15000;
    static constexpr int kMostWarming = 128;

    explicit ConnectionPool(QObject *parent = nullptr);
    ~ConnectionPool() override;

    void clear();

    // A kept connection fit for the request, or one opened ahead for it
    // (which may still be opening), taken out of the pool; nullptr when there
    // is none.
    HttpConnection *takeKept(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate);
    // A new connection, opening. tunnelAgent: the User-Agent of a proxy tunnel.
    HttpConnection *open(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate,
                         const QByteArray &tunnelAgent);
    // Opens connections ahead of the requests that will want them (at most
    // kMostPerHost), unless the host already has one or kMostWarming are
    // opening; they wait in the pool.
    void warm(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate,
              const QByteArray &tunnelAgent, int connections);
    // A connection whose answer ended where it can carry another request.
    void keep(HttpConnection *connection, int keepMs);
    // A connection done with: closed.
    void drop(HttpConnection *connection);

    const ProxyChoice &proxy();
    CookieJar &cookies() { return m_cookies; }

    // Connections opened since the last clear (tests and benchmarks).
    int connectionsOpened() const { return m_opened; }
    int keptCount() const { return int(m_kept.size()); }
    int warmingCount() const { return int(m_warming.size()); }

private:
    struct Kept
    {
        HttpConnection *connection;
        qint64 until; // ms since the epoch
    };
    static QString reuseKey(const Origin &origin, const ProxyRoute &route, bool acceptAny);
    QSslConfiguration tlsFor(const Origin &origin, bool acceptAny);
    void forget(HttpConnection *connection);
    void warmOne(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate,
                 const QByteArray &tunnelAgent, int more);
    void stopExpiryWhenIdle();
    void collectSessions(HttpConnection *connection);
    void expire();

    QList<Kept> m_kept; // oldest first
    QList<Kept> m_warming; // opened ahead, ready or not, until a request takes them; until: given up then
    QHash<QString, int> m_openPerHost;
    QHash<QString, QByteArray> m_sessions; // by reuse key
    std::optional<QSslConfiguration> m_tls;
    std::optional<ProxyChoice> m_proxy;
    CookieJar m_cookies;
    QTimer m_expiry;
    int m_opened = 0;
};
