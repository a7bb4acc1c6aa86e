#include "net/HttpConnection.h"

#include "net/HttpHeaders.h"
#include "net/TlsFailure.h"

#include <QNetworkProxy>
#include <QSslSocket>

#include <utility>

namespace {

// A proxy's answer to CONNECT longer than this is no answer.
constexpr qsizetype kMostTunnelReply = 64 * 1024;

QString socksReplyText(int code)
{
    switch (code) {
    case 1: return QStringLiteral("the SOCKS proxy failed");
    case 2: return QStringLiteral("the SOCKS proxy does not allow the connection");
    case 3: return QStringLiteral("the network cannot be reached from the proxy");
    case 4: return QStringLiteral("the host cannot be reached from the proxy");
    case 5: return QStringLiteral("the host refused the proxy's connection");
    case 6: return QStringLiteral("the proxy's connection timed out");
    case 7: return QStringLiteral("the SOCKS proxy does not connect");
    case 8: return QStringLiteral("the SOCKS proxy does not take host names");
    default: return QStringLiteral("the SOCKS proxy answered %1").arg(code);
    }
}

} // namespace

HttpConnection::HttpConnection(const Origin &origin, const ProxyRoute &route, QObject *parent)
    : QObject(parent)
    , m_origin(origin)
    , m_route(route)
{
}

HttpConnection::~HttpConnection()
{
    close();
}

void HttpConnection::open(const QSslConfiguration &tls, bool acceptAnyCertificate, const QByteArray &tunnelAgent)
{
    m_acceptAny = acceptAnyCertificate;
    m_tunnelAgent = tunnelAgent;
    if (m_route.kind == ProxyRoute::Kind::Invalid) {
        m_state = State::Connecting;
        QMetaObject::invokeMethod(this, [this] {
            proxyFailed(QStringLiteral("the Proxy setting \"%1\" is not a proxy URL").arg(m_route.setting));
        }, Qt::QueuedConnection);
        return;
    }
    if (m_origin.secure) {
        auto *socket = new QSslSocket(this);
        socket->setSslConfiguration(tls);
        socket->setPeerVerifyName(m_origin.host);
        connect(socket, &QSslSocket::encrypted, this, &HttpConnection::onEncrypted);
        connect(socket, &QSslSocket::sslErrors, this, &HttpConnection::onSslErrors);
        connect(socket, &QSslSocket::newSessionTicketReceived, this, &HttpConnection::noteTicket);
        m_socket = socket;
    } else {
        m_socket = new QTcpSocket(this);
    }
    // Proxies of the system's settings are chosen here, never by Qt.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    connect(m_socket, &QTcpSocket::connected, this, &HttpConnection::onSocketConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &HttpConnection::onError);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::onDisconnected);
    m_state = State::Connecting;
    if (m_route.isDirect())
        m_socket->connectToHost(m_origin.host, m_origin.port);
    else
        m_socket->connectToHost(m_route.host, m_route.port);
}

// A close made by the program never reaches a handler: the socket is cut
// loose before it is aborted, and goes once control is back in the event loop.
void HttpConnection::close()
{
    if (m_state != State::Failed)
        m_state = State::Closed;
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    if (m_busy > 0)
        m_closedSockets.append(socket);
    else
        socket->deleteLater();
}

void HttpConnection::dispose()
{
    close();
    m_disposed = true;
    if (m_busy == 0)
        deleteLater();
}

HttpConnection::Busy::~Busy()
{
    if (--c->m_busy > 0)
        return;
    for (QTcpSocket *socket : std::exchange(c->m_closedSockets, {}))
        socket->deleteLater();
    if (c->m_disposed)
        c->deleteLater();
}

bool HttpConnection::isFitForReuse() const
{
    return m_state == State::Ready && m_socket && m_socket->state() == QAbstractSocket::ConnectedState
        && m_socket->bytesAvailable() == 0;
}

void HttpConnection::write(const QByteArray &bytes)
{
    ++m_requests;
    if (m_socket)
        m_socket->write(bytes);
}

QByteArray HttpConnection::readAll()
{
    return m_socket ? m_socket->readAll() : QByteArray();
}

void HttpConnection::onSocketConnected()
{
    const Busy busy(this);
    switch (m_route.kind) {
    case ProxyRoute::Kind::Direct:
        reached();
        return;
    case ProxyRoute::Kind::Http:
        if (namesWholeUrl()) {
            reached(); // the proxy takes the request itself
            return;
        }
        m_state = State::ProxyConnect;
        {
            const QByteArray target = m_origin.host.toLatin1() + ':' + QByteArray::number(m_origin.port);
            QByteArray request = "CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n";
            if (!m_tunnelAgent.isEmpty())
                request += "User-Agent: " + m_tunnelAgent + "\r\n";
            request += m_route.authorizationLine() + "\r\n";
            m_socket->write(request);
        }
        return;
    case ProxyRoute::Kind::Socks5:
        m_state = State::ProxyGreeting;
        // Version 5, then the methods offered: none, or user and password too.
        m_socket->write(m_route.user.isEmpty() ? QByteArray("\x05\x01\x00", 3) : QByteArray("\x05\x02\x00\x02", 4));
        return;
    case ProxyRoute::Kind::Invalid:
        return;
    }
}

// The host is reached (straight, or at the tunnel's end): a secure origin
// sets up TLS, a plain one is ready.
void HttpConnection::reached()
{
    emit connected();
    if (m_state == State::Closed || !m_socket)
        return;
    if (m_origin.secure) {
        m_state = State::Securing;
        static_cast<QSslSocket *>(m_socket)->startClientEncryption();
        return;
    }
    m_state = State::Ready;
    emit ready();
}

void HttpConnection::onEncrypted()
{
    const Busy busy(this);
    m_state = State::Ready;
    noteTicket();
    emit ready();
}

void HttpConnection::noteTicket()
{
    auto *socket = qobject_cast<QSslSocket *>(m_socket);
    if (!socket)
        return;
    const QByteArray ticket = socket->sslConfiguration().sessionTicket();
    if (!ticket.isEmpty())
        emit sessionTicket(ticket);
}

// Certificate errors are accepted only when asked for; otherwise the
// handshake fails and the page is given up with the reason in words.
void HttpConnection::onSslErrors(const QList<QSslError> &errors)
{
    const Busy busy(this);
    if (!m_socket)
        return;
    if (m_acceptAny)
        static_cast<QSslSocket *>(m_socket)->ignoreSslErrors();
    else
        m_certificateFailure = TlsFailure::certificateText(errors);
}

void HttpConnection::onReadyRead()
{
    const Busy busy(this);
    if (!m_socket)
        return;
    switch (m_state) {
    case State::Ready:
        emit readyRead();
        return;
    case State::ProxyGreeting:
    case State::ProxyAuth:
    case State::ProxyConnect:
        readTunnel();
        return;
    default:
        return;
    }
}

void HttpConnection::readTunnel()
{
    if (m_route.kind == ProxyRoute::Kind::Http) {
        m_tunnelReply += m_socket->read(kMostTunnelReply + 4 - m_tunnelReply.size());
        const qsizetype end = m_tunnelReply.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_tunnelReply.size() >= kMostTunnelReply)
                proxyFailed(QStringLiteral("the proxy's answer is too long"));
            return;
        }
        const QByteArray head = m_tunnelReply.left(end);
        const int code = HttpHeaders::statusCode(head);
        if (code < 200 || code > 299) {
            const QByteArray statusLine = head.left(head.indexOf('\r')).simplified();
            const qsizetype space = statusLine.indexOf(' ');
            proxyFailed(code == 0 ? QStringLiteral("the proxy's answer is not HTTP")
                                  : QString::fromLatin1(statusLine.mid(space + 1)));
            return;
        }
        m_tunnelReply.clear();
        reached();
        return;
    }
    // SOCKS5: every answer has a known length; wait until it is whole.
    m_tunnelReply += m_socket->readAll();
    if (m_state == State::ProxyGreeting) {
        if (m_tunnelReply.size() < 2)
            return;
        const char method = m_tunnelReply.at(1);
        m_tunnelReply.remove(0, 2);
        if (method == 0x00) {
            sendSocksConnect();
        } else if (method == 0x02 && !m_route.user.isEmpty()) {
            const QByteArray user = m_route.user.toUtf8().left(255);
            const QByteArray password = m_route.password.toUtf8().left(255);
            m_state = State::ProxyAuth;
            m_socket->write(QByteArray(1, 0x01) + char(user.size()) + user + char(password.size()) + password);
        } else {
            proxyFailed(QStringLiteral("the SOCKS proxy asks for a way to log in that is not offered"));
        }
        return;
    }
    if (m_state == State::ProxyAuth) {
        if (m_tunnelReply.size() < 2)
            return;
        const bool accepted = m_tunnelReply.at(1) == 0x00;
        m_tunnelReply.remove(0, 2);
        if (!accepted) {
            proxyFailed(QStringLiteral("the SOCKS proxy refused the user name and password"));
            return;
        }
        sendSocksConnect();
        return;
    }
    // The CONNECT reply: version, reply, reserved, address type, address, port.
    if (m_tunnelReply.size() < 5)
        return;
    const int code = uchar(m_tunnelReply.at(1));
    if (m_tunnelReply.at(0) != 0x05) {
        proxyFailed(QStringLiteral("the proxy does not speak SOCKS5"));
        return;
    }
    if (code != 0) {
        proxyFailed(socksReplyText(code));
        return;
    }
    const char type = m_tunnelReply.at(3);
    const int address = type == 0x01 ? 4 : type == 0x04 ? 16 : type == 0x03 ? 1 + uchar(m_tunnelReply.at(4)) : -1;
    if (address < 0) {
        proxyFailed(QStringLiteral("the proxy's answer is not SOCKS5"));
        return;
    }
    if (m_tunnelReply.size() < 4 + address + 2)
        return;
    m_tunnelReply.clear();
    reached();
}

void HttpConnection::sendSocksConnect()
{
    m_state = State::ProxyConnect;
    // The host by name: the proxy looks it up.
    const QByteArray host = m_origin.host.toLatin1().left(255);
    QByteArray request("\x05\x01\x00\x03", 4);
    request += char(host.size());
    request += host;
    request += char(m_origin.port >> 8);
    request += char(m_origin.port & 0xff);
    m_socket->write(request);
}

void HttpConnection::proxyFailed(const QString &why)
{
    fail(PageResult::Failure::Proxy, QStringLiteral("Proxy failed: ") + why);
}

void HttpConnection::fail(PageResult::Failure failure, const QString &text)
{
    if (m_state == State::Failed || m_state == State::Closed)
        return;
    close();
    m_state = State::Failed;
    emit failed(failure, text);
}

void HttpConnection::onError(QAbstractSocket::SocketError error)
{
    const Busy busy(this);
    switch (m_state) {
    case State::Connecting:
        if (!m_route.isDirect()) {
            proxyFailed(error == QAbstractSocket::ConnectionRefusedError ? QStringLiteral("the proxy refused the connection")
                        : error == QAbstractSocket::HostNotFoundError   ? QStringLiteral("the proxy's name does not resolve")
                                                                        : QStringLiteral("the proxy cannot be reached"));
            return;
        }
        fail(error == QAbstractSocket::ConnectionRefusedError ? PageResult::Failure::Refused
             : error == QAbstractSocket::HostNotFoundError    ? PageResult::Failure::HostNotFound
                                                              : PageResult::Failure::Unreachable,
             QString());
        return;
    case State::ProxyGreeting:
    case State::ProxyAuth:
    case State::ProxyConnect:
        proxyFailed(QStringLiteral("the proxy closed the connection"));
        return;
    case State::Securing:
        fail(PageResult::Failure::Secure,
             m_certificateFailure.isEmpty() ? TlsFailure::connectionText(error) : m_certificateFailure);
        return;
    case State::Ready:
        // The server ended the answer: a TCP close, or a TLS close_notify after
        // which it waits for ours before it closes the connection. A reset
        // ends it too.
        if (error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::NetworkError)
            onDisconnected();
        return;
    default:
        return;
    }
}

void HttpConnection::onDisconnected()
{
    const Busy busy(this);
    if (m_state == State::Ready) {
        m_state = State::Closed;
        emit closed();
        return;
    }
    onError(QAbstractSocket::RemoteHostClosedError);
}
