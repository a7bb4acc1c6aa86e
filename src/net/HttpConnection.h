#pragma once

#include "net/PageTypes.h"
#include "net/ProxyChoice.h"

#include <QAbstractSocket>
#include <QObject>
#include <QSslConfiguration>

class QSslError;
class QTcpSocket;

// Where a connection leads: a host (ASCII, lower case, no port), its port,
// plain or TLS.
struct Origin
{
    QString host;
    quint16 port = 80;
    bool secure = false;
    QString key() const
    {
        return (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + host + QLatin1Char(':')
            + QString::number(port);
    }
};

// One connection to an origin, straight or through a proxy (an HTTP CONNECT
// tunnel, SOCKS5, or for plain pages an HTTP proxy asked for whole URLs),
// secured with TLS for an https origin. It carries one request at a time and
// may carry several one after the other; it knows nothing of HTTP beyond the
// tunnel. Signals: connected (the host is reached), ready (secured too:
// requests may go), failed (before ready), readyRead and closed (after ready).
class HttpConnection : public QObject
{
    Q_OBJECT
public:
    HttpConnection(const Origin &origin, const ProxyRoute &route, QObject *parent = nullptr);
    ~HttpConnection() override;

    // tls: the scan's configuration, with a session to resume when it has
    // one. tunnelAgent: the User-Agent of a tunnel request ("" none).
    void open(const QSslConfiguration &tls, bool acceptAnyCertificate, const QByteArray &tunnelAgent);
    // Ends the connection without a signal.
    void close();
    // Closes it and deletes it once no signal of its socket is under way: a
    // socket must outlive its own signals, even when a slot runs events.
    void dispose();

    const Origin &origin() const { return m_origin; }
    const ProxyRoute &route() const { return m_route; }
    bool acceptsAnyCertificate() const { return m_acceptAny; }
    bool isReady() const { return m_state == State::Ready; }
    // Still on its way to ready: neither failed nor closed.
    bool isOpening() const
    {
        return m_state != State::Idle && m_state != State::Ready && m_state != State::Closed && m_state != State::Failed;
    }
    // The host answered (connected was emitted); TLS may still be under way.
    bool hasReachedHost() const { return m_state == State::Securing || m_state == State::Ready; }
    // Plain HTTP through an HTTP proxy: the request line names the whole URL.
    bool namesWholeUrl() const { return !m_origin.secure && m_route.kind == ProxyRoute::Kind::Http; }
    // Still open, nothing unasked for waiting: fit to carry a request.
    bool isFitForReuse() const;
    int requestsCarried() const { return m_requests; }
    void write(const QByteArray &bytes);
    QByteArray readAll();

signals:
    void connected();
    void ready();
    void failed(PageResult::Failure failure, const QString &text);
    void readyRead();
    void closed();
    void sessionTicket(const QByteArray &ticket);

private:
    enum class State { Idle, Connecting, ProxyGreeting, ProxyAuth, ProxyConnect, Securing, Ready, Closed, Failed };
    void onSocketConnected();
    void onReadyRead();
    void onError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onSslErrors(const QList<QSslError> &errors);
    void onEncrypted();
    void readTunnel();
    void sendSocksConnect();
    void reached();
    void fail(PageResult::Failure failure, const QString &text);
    void proxyFailed(const QString &why);
    void noteTicket();
    // Held while a slot of the socket runs.
    struct Busy
    {
        explicit Busy(HttpConnection *c) : c(c) { ++c->m_busy; }
        ~Busy();
        HttpConnection *c;
    };

    Origin m_origin;
    ProxyRoute m_route;
    QTcpSocket *m_socket = nullptr;
    State m_state = State::Idle;
    bool m_acceptAny = false;
    QByteArray m_tunnelAgent;
    QByteArray m_tunnelReply;
    QString m_certificateFailure;
    int m_requests = 0;
    int m_busy = 0;
    bool m_disposed = false;
    QList<QTcpSocket *> m_closedSockets; // closed inside their own signals
};
