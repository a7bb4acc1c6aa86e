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
        dropKept(0);
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

// One configuration for the scan: the system's CA certificates read once,
// sessions kept so a later connection to the host resumes its session.
QSslConfiguration ConnectionPool::tlsFor(const Origin &origin, bool acceptAny)
{
    if (!m_tls) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        // The system's authorities once, beside any the program added.
        QList<QSslCertificate> authorities = tls.caCertificates();
        const QSet<QSslCertificate> known(authorities.cbegin(), authorities.cend());
        for (const QSslCertificate &c : QSslConfiguration::systemCaCertificates()) {
            if (!known.contains(c))
                authorities.append(c);
        }
        tls.setCaCertificates(authorities);
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
            dropKept(i);
            continue;
        }
        m_kept.removeAt(i);
        c->disconnect(this);
        if (m_kept.isEmpty())
            m_expiry.stop();
        return c;
    }
    return nullptr;
}

HttpConnection *ConnectionPool::open(const Origin &origin, const ProxyRoute &route, bool acceptAnyCertificate,
                                     const QByteArray &tunnelAgent)
{
    const QString host = HostScheduler::hostKey(origin.host);
    // Room on the host first: its kept connections go, oldest first.
    for (qsizetype i = 0; i < m_kept.size() && m_openPerHost.value(host) >= kMostPerHost;) {
        if (m_kept.at(i).connection->property(kHostProperty).toString() == host)
            dropKept(i);
        else
            ++i;
    }
    auto *connection = new HttpConnection(origin, route, this);
    connection->setProperty(kHostProperty, host);
    connection->setProperty(kKeyProperty, reuseKey(origin, route, acceptAnyCertificate));
    ++m_openPerHost[host];
    ++m_opened;
    if (origin.secure) {
        const QString sessionKey = reuseKey(origin, ProxyRoute(), acceptAnyCertificate);
        connect(connection, &HttpConnection::sessionTicket, this,
                [this, sessionKey](const QByteArray &ticket) { m_sessions.insert(sessionKey, ticket); });
    }
    connection->open(origin.secure ? tlsFor(origin, acceptAnyCertificate) : QSslConfiguration(),
                     acceptAnyCertificate, tunnelAgent);
    return connection;
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
    if (connection->origin().secure) {
        const QString sessionKey = reuseKey(connection->origin(), ProxyRoute(), connection->acceptsAnyCertificate());
        connect(connection, &HttpConnection::sessionTicket, this,
                [this, sessionKey](const QByteArray &ticket) { m_sessions.insert(sessionKey, ticket); });
    }
    // A server that closes it, or sends what nobody asked for, ends it here.
    connect(connection, &HttpConnection::closed, this, [this, connection] { drop(connection); });
    connect(connection, &HttpConnection::readyRead, this, [this, connection] { drop(connection); });
    if (m_kept.size() >= kMostKept)
        dropKept(0);
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
    for (qsizetype i = 0; i < m_kept.size(); ++i) {
        if (m_kept.at(i).connection == connection) {
            m_kept.removeAt(i);
            break;
        }
    }
    forget(connection);
    connection->disconnect();
    connection->dispose();
}

void ConnectionPool::dropKept(qsizetype index)
{
    HttpConnection *connection = m_kept.at(index).connection;
    m_kept.removeAt(index);
    forget(connection);
    connection->disconnect();
    connection->dispose();
}

void ConnectionPool::expire()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (qsizetype i = 0; i < m_kept.size();) {
        if (m_kept.at(i).until <= now)
            dropKept(i);
        else
            ++i;
    }
    if (m_kept.isEmpty())
        m_expiry.stop();
}
