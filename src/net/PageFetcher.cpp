#include "net/PageFetcher.h"

#include "net/ChunkedBody.h"
#include "net/HostName.h"
#include "net/TlsFailure.h"
#include "url/TextSearch.h"

#include <QSslSocket>

#include <utility>

static const QByteArray kBlankLine("\r\n\r\n");

QString PageResult::pageText() const
{
    if (head.isEmpty())
        return QString::fromLatin1(body);
    QString page = QString::fromLatin1(head + body);
    TextSearch::replaceNoCase(page, QString::fromLatin1(head), u"");
    return page;
}

static bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

QByteArray PageFetcher::requestBytes(const QString &host, const QString &path, const QString &userAgent)
{
    QByteArray bytes = "GET " + path.toLatin1() + " HTTP/1.1\r\n"
                     + "Host: " + asciiHost(host).toLatin1() + "\r\n"
                     + "Connection: close\r\n"
                     + "Accept: */*\r\n";
    // A line break in a stored value must not end the request early, and a
    // NUL or other control character makes servers refuse it.
    QString agent = userAgent;
    agent.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    if (!agent.isEmpty())
        bytes += "User-Agent: " + agent.toLatin1() + "\r\n";
    return bytes + "\r\n";
}

PageFetcher::PageFetcher(const PageRequest &request, QObject *parent)
    : QObject(parent)
    , m_request(request)
{
}

PageFetcher::~PageFetcher()
{
    dropSocket();
    delete m_chunks;
}

QByteArray PageFetcher::partialBody() const
{
    if (!m_headComplete)
        return m_response;
    return m_chunks ? m_chunks->data() : m_result.body;
}

void PageFetcher::start()
{
    const QString host = asciiHost(m_request.host);
    if (!isAscii(host)) {
        // A name without an ASCII form cannot be looked up.
        QMetaObject::invokeMethod(this, [this] { finish(PageResult::Failure::BadName); }, Qt::QueuedConnection);
        return;
    }
    if (m_request.secure) {
        auto *socket = new QSslSocket(this);
        m_socket = socket;
        connect(socket, &QSslSocket::encrypted, this, &PageFetcher::onEncrypted);
        connect(socket, &QSslSocket::sslErrors, this, &PageFetcher::onSslErrors);
    } else {
        m_socket = new QTcpSocket(this);
    }
    connect(m_socket, &QTcpSocket::connected, this, &PageFetcher::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &PageFetcher::onReadyRead);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &PageFetcher::onError);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        if (m_request.secure && !m_encrypted)
            onError(QAbstractSocket::RemoteHostClosedError);
        else
            finish();
    });
    if (m_request.secure)
        static_cast<QSslSocket *>(m_socket)->connectToHostEncrypted(host, m_request.tlsPort);
    else
        m_socket->connectToHost(host, m_request.port);
}

void PageFetcher::cancel()
{
    m_done = true;
    dropSocket();
}

// A close made by the program never reaches the handlers: the socket is cut
// loose from them before it is aborted, and goes once control is back in the
// event loop (never inside its own signal).
void PageFetcher::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void PageFetcher::onConnected()
{
    m_result.connected = true;
    emit connected();
    if (m_socket && !m_request.secure)
        m_socket->write(requestBytes(m_request.host, m_request.path, m_request.userAgent));
    // Over TLS the request waits for the secure connection.
}

void PageFetcher::onEncrypted()
{
    m_encrypted = true;
    if (m_socket)
        m_socket->write(requestBytes(m_request.host, m_request.path, m_request.userAgent));
}

// Certificate errors are accepted only when asked for; otherwise the
// handshake fails and the page is given up with the reason in words.
void PageFetcher::onSslErrors(const QList<QSslError> &errors)
{
    if (!m_socket)
        return;
    if (m_request.acceptAnyCertificate)
        static_cast<QSslSocket *>(m_socket)->ignoreSslErrors();
    else
        m_certificateFailure = TlsFailure::certificateText(errors);
}

void PageFetcher::onError(QAbstractSocket::SocketError error)
{
    if (m_done)
        return;
    if (!m_result.connected) {
        switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            finish(PageResult::Failure::Refused);
            break;
        case QAbstractSocket::HostNotFoundError:
            finish(PageResult::Failure::HostNotFound);
            break;
        default:
            finish(PageResult::Failure::Unreachable);
            break;
        }
        return;
    }
    if (m_request.secure && !m_encrypted) {
        finish(PageResult::Failure::Secure,
               m_certificateFailure.isEmpty() ? TlsFailure::connectionText(error) : m_certificateFailure);
        return;
    }
    // The server ended the answer: a TCP close, or a TLS close_notify after
    // which it waits for ours before it closes the connection. A reset
    // ends it too, with what came.
    if (error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::NetworkError)
        finish();
}

void PageFetcher::onReadyRead()
{
    if (!m_socket || m_done)
        return;
    take(m_socket->readAll());
    if (m_done)
        return;
    emit dataArrived(m_received, m_contentLength);
    if (m_result.capped)
        finish();
}

void PageFetcher::take(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_anyByte = true;
    if (m_headComplete) {
        m_received += bytes.size();
        if (m_chunks) {
            m_chunks->feed(bytes);
            m_result.capped = m_chunks->isCapped();
        } else {
            qint64 room = kPageCap - m_result.body.size();
            m_result.body.append(bytes.constData(), qsizetype(qMin<qint64>(room, bytes.size())));
            m_result.capped = m_result.capped || bytes.size() >= room;
        }
        return;
    }
    m_response += bytes;
    detectHead();
    if (!m_headComplete && m_response.size() >= kPageCap) {
        m_response.truncate(kPageCap);
        m_result.capped = true;
    }
}

void PageFetcher::detectHead()
{
    // Search only what is new (and the three bytes before it), so a long
    // response without a blank line costs linear time.
    const qsizetype end = m_response.indexOf(kBlankLine, m_headSearchFrom);
    if (end < 0) {
        m_headSearchFrom = qMax<qsizetype>(0, m_response.size() - 3);
        return;
    }
    m_headComplete = true;
    m_result.head = m_response.left(end + 4);
    QByteArray rest = m_response.mid(end + 4);
    m_response.clear();
    // Lines end at CR LF; only the first holding "Content-Length" (exact
    // case) is looked at.
    const QByteArray head = m_result.head.left(end);
    qsizetype start = 0;
    while (start <= head.size()) {
        qsizetype stop = head.indexOf("\r\n", start);
        if (stop < 0)
            stop = head.size();
        const QByteArray line = head.mid(start, stop - start);
        if (line.contains("Content-Length")) {
            const qsizetype space = line.indexOf(' ');
            if (space >= 0) {
                bool ok = false;
                const qint32 v = line.mid(space + 1).trimmed().toInt(&ok);
                if (ok)
                    m_contentLength = v;
            }
            break;
        }
        start = stop + 2;
    }
    if (ChunkedBody::isChunked(head))
        m_chunks = new ChunkedDecoder(kPageCap);
    take(rest);
}

void PageFetcher::finish(PageResult::Failure failure, const QString &text)
{
    if (m_done)
        return;
    if (failure == PageResult::Failure::None && m_socket && m_socket->bytesAvailable() > 0)
        take(m_socket->readAll());
    // Closed before a single byte: no reply at all, which is not a page.
    if (failure == PageResult::Failure::None && !m_anyByte)
        failure = PageResult::Failure::NoReply;
    m_done = true;
    dropSocket();
    m_result.failure = failure;
    m_result.failureText = text;
    if (failure == PageResult::Failure::None) {
        if (!m_headComplete)
            m_result.body = std::exchange(m_response, QByteArray());
        else if (m_chunks)
            m_result.body = m_chunks->takeData();
    }
    emit finished();
}
