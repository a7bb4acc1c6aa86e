#include "net/ConnectionPool.h"

#include "net/HostScheduler.h"

#include <QDateTime>
#include <QSet>
#include <QSslCertificate>
#include <QSslSocket>

namespace {
const char *const kHostProperty = "reciplexPoolHost";
const char *const kKeyProperty = "reciplexPoolKey";
} // namespace

ConnectionPool::ConnectionPool(QObject *parent)
    : QObject(parent)
{
    m_expiry.setInterval(1000);
    connect(&m_expiry, &QTimer::timeout, this, &ConnectionPool::expire);
}

ConnectionPool::~ConnectionPool()
{
    clear();
}

void ConnectionPool::clear()
{
    while (!m_kept.isEmpty())
        drop(m_kept.at(0).connection);
    while (!m_warming.isEmpty())
        drop(m_warming.at(0).connection);
    // Connections still carrying a request belong to their fetchers: they are
    // closed there and no longer counted here.
    for (HttpConnection *c : findChildren<HttpConnection *>(Qt::FindDirectChildrenOnly))
        c->setProperty(kHostProperty, QVariant());
    m_openPerHost.clear();
    m_sessions.clear();
    m_tls.reset();
    m_proxy.reset();
    m_cookies.clear();
    m_opened = 0;
    m_expiry.stop();
}

const ProxyChoice &ConnectionPool::proxy()
{
    if (!m_proxy)
        m_proxy = ProxyChoice::fromSettings();
    return *m_proxy;
}

QString ConnectionPool::reuseKey(const Origin &origin, const ProxyRoute &route, bool acceptAny)
{
    return origin.key() + QLatin1Char(' ') + route.key() + (origin.secure && acceptAny ? QStringLiteral(" any") : QString());
}

// One configuration for the scan, sessions kept so a later connection to the
// host resumes its session. The system's authorities are looked up in its
// certificate folder as a handshake needs them: every certificate handed to
// a connection is copied into its own TLS context, hundreds per handshake.
// Only when the program added authorities of its own are the system's
// listed beside them, read once.
QSslConfiguration ConnectionPool::tlsFor(const Origin &origin, bool acceptAny)
{
    if (!m_tls) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        QList<QSslCertificate> authorities = tls.caCertificates();
        if (!authorities.isEmpty()) {
            const QSet<QSslCertificate> known(authorities.cbegin(), authorities.cend());
            for (const QSslCertificate &c : QSslConfiguration::systemCaCertificates()) {
                if (!known.contains(c))
                    authorities.append(c);
            }
            tls.setCaCertificates(authorities);
        }
        tls.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        m_tls = tls;
    }
    QSslConfiguration tls = *m_tls;
    const QByteArray session = m_sessions.value(reuseKey(origin, ProxyRoute(), acceptAny));
    if (!session.isEmpty())
        tls.setSessionTicket(session);
    return tls;
}

HttpConnection *ConnectionPool::takeKept(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate)
{
    const QString key = reuseKey(origin, route, acceptAnyCertificate);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    // The most recent first: the one least likely closed by its server.
    for (qsizetype i = m_kept.size() - 1; i >= 0; --i) {
        HttpConnection *c = m_kept.at(i).connection;
        if (c->property(kKeyProperty).toString() != key)
            continue;
        if (m_kept.at(i).until <= now || !c->isFitForReuse()) {
            drop(c);
            continue;
        }
        m_kept.removeAt(i);
        c->disconnect(this);
        collectSessions(c);
        stopExpiryWhenIdle();
        return c;
    }
    for (qsizetype i = 0; i < m_warming.size(); ++i) {
        HttpConnection *c = m_warming.at(i).connection;
        if (c->property(kKeyProperty).toString() != key)
            continue;
        if (!c->isOpening() && !c->isReady()) {
            drop(c); // failed before its signal could be heard
            --i;
            continue;
        }
        m_warming.removeAt(i);
        c->disconnect(this);
        collectSessions(c);
        stopExpiryWhenIdle();
        return c;
    }
    return nullptr;
}

void ConnectionPool::warm(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate,
                          const QByteArray &tunnelAgent, int connections)
{
    if (connections > 0 && !m_openPerHost.contains(HostScheduler::hostKey(origin.host)))
        warmOne(origin, route, acceptAnyCertificate, tunnelAgent, qMin(connections, kMostPerHost) - 1);
}

// One connection opened ahead, and once it is ready (for TLS: once its
// session can be resumed, which costs the server and us far less than a new
// one) the next of `more`, while the host has room.
void ConnectionPool::warmOne(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate,
                             const QByteArray &tunnelAgent, int more)
{
    if (m_warming.size() >= kMostWarming)
        return;
    HttpConnection *connection = open(origin, route, acceptAnyCertificate, tunnelAgent);
    // Failed, closed or sent what nobody asked for before a request took it:
    // forgotten, and the request that wanted it finds out for itself.
    connect(connection, &HttpConnection::failed, this, [this, connection] { drop(connection); });
    connect(connection, &HttpConnection::closed, this, [this, connection] { drop(connection); });
    connect(connection, &HttpConnection::readyRead, this, [this, connection] { drop(connection); });
    if (more > 0) {
        const QString host = HostScheduler::hostKey(origin.host);
        auto next = [=, this] {
            if (m_openPerHost.value(host) < kMostPerHost)
                warmOne(origin, route, acceptAnyCertificate, tunnelAgent, more - 1);
        };
        if (origin.secure)
            connect(connection, &HttpConnection::sessionTicket, this, next, Qt::SingleShotConnection);
        else
            connect(connection, &HttpConnection::ready, this, next, Qt::SingleShotConnection);
    }
    m_warming.append({connection, QDateTime::currentMSecsSinceEpoch() + kKeepMs});
    if (!m_expiry.isActive())
        m_expiry.start();
}

HttpConnection *ConnectionPool::open(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate,
                                     const QByteArray &tunnelAgent)
{
    const QString host = HostScheduler::hostKey(origin.host);
    // Room on the host first: its kept connections go, oldest first, then
    // those opened ahead.
    for (const QList<Kept> *list : {&m_kept, &m_warming}) {
        for (qsizetype i = 0; i < list->size() && m_openPerHost.value(host) >= kMostPerHost;) {
            if (list->at(i).connection->property(kHostProperty).toString() == host)
                drop(list->at(i).connection); // leaves the list
            else
                ++i;
        }
    }
    auto *connection = new HttpConnection(origin, route, this);
    connection->setProperty(kHostProperty, host);
    connection->setProperty(kKeyProperty, reuseKey(origin, route, acceptAnyCertificate));
    ++m_openPerHost[host];
    ++m_opened;
    collectSessions(connection);
    connection->open(origin.secure ? tlsFor(origin, acceptAnyCertificate) : QSslConfiguration(),
                     acceptAnyCertificate, tunnelAgent);
    return connection;
}

// A TLS server may send its session tickets at any time after the handshake:
// whoever uses the connection, the tickets come here.
void ConnectionPool::collectSessions(HttpConnection *connection)
{
    if (!connection->origin().secure)
        return;
    const QString sessionKey = reuseKey(connection->origin(), ProxyRoute(), connection->acceptsAnyCertificate());
    connect(connection, &HttpConnection::sessionTicket, this,
            [this, sessionKey](const QByteArray &ticket) { m_sessions.insert(sessionKey, ticket); });
}

void ConnectionPool::keep(HttpConnection *connection, int keepMs)
{
    if (!connection)
        return;
    if (keepMs <= 0 || !connection->isFitForReuse() || connection->property(kHostProperty).isNull()) {
        drop(connection);
        return;
    }
    connection->disconnect(); // from the fetcher that used it
    collectSessions(connection);
    // A server that closes it, or sends what nobody asked for, ends it here.
    connect(connection, &HttpConnection::closed, this, [this, connection] { drop(connection); });
    connect(connection, &HttpConnection::readyRead, this, [this, connection] { drop(connection); });
    if (m_kept.size() >= kMostKept)
        drop(m_kept.at(0).connection);
    m_kept.append({connection, QDateTime::currentMSecsSinceEpoch() + qMin(keepMs, kKeepMs)});
    if (!m_expiry.isActive())
        m_expiry.start();
}

void ConnectionPool::forget(HttpConnection *connection)
{
    const QVariant host = connection->property(kHostProperty);
    if (host.isNull())
        return;
    connection->setProperty(kHostProperty, QVariant());
    auto it = m_openPerHost.find(host.toString());
    if (it != m_openPerHost.end() && --it.value() <= 0)
        m_openPerHost.erase(it);
}

void ConnectionPool::drop(HttpConnection *connection)
{
    if (!connection)
        return;
    const auto isIt = [connection](const Kept &k) { return k.connection == connection; };
    m_kept.removeIf(isIt);
    m_warming.removeIf(isIt);
    forget(connection);
    connection->disconnect();
    connection->dispose();
}

void ConnectionPool::stopExpiryWhenIdle()
{
    if (m_kept.isEmpty() && m_warming.isEmpty())
        m_expiry.stop();
}

void ConnectionPool::expire()
{
    // Kept past their time, or opened ahead for a site that never came or a
    // host that never answers.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<HttpConnection *> expired;
    for (const QList<Kept> *list : {&m_kept, &m_warming}) {
        for (const Kept &k : *list) {
            if (k.until <= now)
                expired.append(k.connection);
        }
    }
    for (HttpConnection *connection : expired)
        drop(connection);
    stopExpiryWhenIdle();
}
