#include "net/HttpFetcher.h"

#include "net/ChunkedBody.h"
#include "net/EventPump.h"
#include "net/HostName.h"
#include "net/HttpStatus.h"
#include "net/PageAhead.h"
#include "net/SecureHosts.h"
#include "net/TlsFailure.h"
#include "net/WholePageDownload.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/TextSearch.h"
#include "url/UrlText.h"

#include <QSslSocket>

#include <cmath>

static const QByteArray kBlankLine("\r\n\r\n");

HttpFetcher::HttpFetcher(QObject *parent)
    : QObject(parent)
    , m_download(new WholePageDownload(this))
{
    connect(m_download, &WholePageDownload::finished, this, [this](const QString &text) {
        emit wholePageArrived(0, text);
    });
    m_idleTimer.setInterval(1000);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] { emit idleTick(0); });
}

HttpFetcher::~HttpFetcher()
{
    dropSocket();
}

QByteArray HttpFetcher::requestBytes(const QString &host, const QString &path, const QString &userAgent)
{
    QByteArray bytes = "GET " + path.toLatin1() + " HTTP/1.1\r\n"
                     + "Host: " + asciiHost(host).toLatin1() + "\r\n"
                     + "Connection: close\r\n"
                     + "Accept: */*\r\n";
    // A line break in a stored value must not end the request early.
    QString agent = userAgent;
    agent.remove(QLatin1Char('\r'));
    agent.remove(QLatin1Char('\n'));
    if (!agent.isEmpty())
        bytes += "User-Agent: " + agent.toLatin1() + "\r\n";
    return bytes + "\r\n";
}

const FetchSlot &HttpFetcher::slotRecord(int slot) const
{
    (void)slot;
    return m_slot;
}

// A close made by the program never reaches the handlers: the socket is cut
// loose from them before it is aborted, and a fresh one serves the next fetch
// (a socket must not be reconnected inside its own close signal).
void HttpFetcher::dropSocket()
{
    ++m_token;
    m_closePending = false;
    if (m_adopted) {
        m_adopted->disconnect(this);
        m_adopted->cancel();
        m_adopted->deleteLater();
        m_adopted = nullptr;
    }
    if (!m_socket)
        return;
    QTcpSocket *old = m_socket;
    m_socket = nullptr;
    old->disconnect(this);
    old->abort();
    old->deleteLater();
}

void HttpFetcher::closeSlot(int slot)
{
    if (slot != 0)
        return;
    dropSocket();
    m_download->abort();
}

void HttpFetcher::closeAll()
{
    closeSlot(0);
    dropAhead();
}

void HttpFetcher::fetchWholePage(int slot, const QString &url, qint64 totalTimeoutMs)
{
    if (slot != 0)
        return;
    DownloadLimits limits;
    limits.totalTimeoutMs = totalTimeoutMs;
    m_download->start(url, limits);
}

void HttpFetcher::stopIdleTimer(int slot)
{
    if (slot == 0)
        m_idleTimer.stop();
}

int HttpFetcher::addIdleSecond(int slot)
{
    if (slot != 0)
        return 0;
    ++m_slot.pageSeconds;
    return ++m_slot.idleSeconds;
}

void HttpFetcher::fetch(int slot, const QString &entry)
{
    if (slot != 0)
        return;
    const RequestTarget t = splitRequestTarget(entry);
    m_strURL = t.strURL;
    m_strCurUrl = t.strCurUrl;
    m_strCurDir = t.strCurDir;
    dropSocket();
    m_download->abort();
    const quint64 token = m_token;
    m_slot = FetchSlot();
    m_slot.host = t.host;
    m_slot.path = t.path;
    m_slot.requestHost = t.host;
    m_slot.secure = m_secureHosts && m_secureHosts->isSecure(t.host);
    m_capReached = false;
    m_headSearchFrom = 0;

    emit statusText(QStringLiteral("Downloading: ") + m_slot.host + m_slot.path);
    EventPump::pump();
    if (token != m_token)
        return; // a Stop or Skip in the events above has moved on already

    m_slot.idleSeconds = 0;
    m_idleTimer.start();
    if (!m_slot.secure && m_ahead && m_ahead->matches(m_slot.host, m_slot.path)) {
        adoptAhead(token);
        return;
    }
    dropAhead();
    connectSlot(token);
}

void HttpFetcher::fetchAhead(const QString &entry)
{
    if (!m_fetchAhead)
        return;
    const RequestTarget t = splitRequestTarget(entry);
    if (m_ahead && m_ahead->matches(t.host, t.path))
        return;
    dropAhead();
    if (t.host.isEmpty() || (m_secureHosts && m_secureHosts->isSecure(t.host)))
        return;
    m_ahead = new PageAhead(t.host, t.path, this);
    const QString agent = SettingsStore::instance().read(Keys::UserAgent, kDefaultUserAgent);
    m_ahead->start(m_port, requestBytes(t.host, t.path, agent), kResponseCap);
}

void HttpFetcher::dropAhead()
{
    if (!m_ahead)
        return;
    m_ahead->disconnect(this);
    m_ahead->cancel();
    m_ahead->deleteLater();
    m_ahead = nullptr;
}

// The page asked for ahead serves this fetch: data arriving on it keeps the
// idle count at zero, and once it is whole it is taken in as the page.
void HttpFetcher::adoptAhead(quint64 token)
{
    m_adopted = std::exchange(m_ahead, nullptr);
    connect(m_adopted, &PageAhead::dataArrived, this, [this, token] {
        if (token == m_token)
            m_slot.idleSeconds = 0;
    });
    if (m_adopted->isDone())
        QMetaObject::invokeMethod(this, [this, token] { replayAhead(token); }, Qt::QueuedConnection);
    else
        connect(m_adopted, &PageAhead::done, this, [this, token] { replayAhead(token); }, Qt::QueuedConnection);
}

// What the connection, the data and the close of a fetch would have done.
// An answer that is not whole (refused, reset) is fetched again for real.
void HttpFetcher::replayAhead(quint64 token)
{
    if (token != m_token || !m_adopted || !runningNow())
        return;
    if (!m_adopted->isWhole()) {
        m_adopted->disconnect(this);
        m_adopted->deleteLater();
        m_adopted = nullptr;
        connectSlot(token);
        return;
    }
    const QByteArray bytes = m_adopted->bytes();
    m_slot.connected = true;
    emit connectedToHost(0);
    EventPump::pump();
    if (token != m_token)
        return;
    emit progress(0);
    m_slot.idleSeconds = 0;
    appendData(bytes);
    detectHead();
    finishPage();
}

void HttpFetcher::connectSlot(quint64 token)
{
    const QString host = asciiHost(m_slot.requestHost);
    if (m_slot.secure) {
        auto *socket = new QSslSocket(this);
        m_socket = socket;
        connect(socket, &QSslSocket::encrypted, this, [this, token] { onEncrypted(token); });
        connect(socket, &QSslSocket::sslErrors, this,
                [this, token](const QList<QSslError> &errors) { onSslErrors(token, errors); });
        connect(socket, &QAbstractSocket::errorOccurred, this,
                [this, token](QAbstractSocket::SocketError error) { onSocketError(token, error); });
    } else {
        m_socket = new QTcpSocket(this);
    }
    connect(m_socket, &QTcpSocket::connected, this, [this, token] { onConnected(token); });
    // A TLS socket announces data from inside its decryption loop; events run
    // there can end its secure state with data still undecrypted (the end of
    // the page lost), so its data step runs once control is back in the loop.
    connect(m_socket, &QTcpSocket::readyRead, this, [this, token] { onDataArrived(token); },
            m_slot.secure ? Qt::QueuedConnection : Qt::AutoConnection);
    connect(m_socket, &QTcpSocket::disconnected, this, [this, token] { onClosed(token); });
    // Other errors are not handled: an unreachable host ends by the idle time-out.
    if (m_slot.secure)
        static_cast<QSslSocket *>(m_socket)->connectToHostEncrypted(host, m_tlsPort);
    else
        m_socket->connectToHost(host, m_port);
}

void HttpFetcher::onConnected(quint64 token)
{
    if (token != m_token)
        return;
    m_slot.connected = true;
    // A page fetched again over TLS was counted with its plain request.
    if (!m_slot.upgraded)
        emit connectedToHost(0);
    EventPump::pump();
    if (token != m_token || !m_socket || m_slot.secure)
        return; // over TLS the request waits for the secure connection
    sendRequest();
}

void HttpFetcher::onEncrypted(quint64 token)
{
    if (token != m_token || !m_socket)
        return;
    m_slot.encrypted = true;
    sendRequest();
}

void HttpFetcher::sendRequest()
{
    emit progress(0);
    const QString agent = SettingsStore::instance().read(Keys::UserAgent, kDefaultUserAgent);
    m_socket->write(requestBytes(m_slot.requestHost, m_slot.path, agent));
}

// Certificate errors are accepted only when the user asked for it; otherwise
// the handshake fails and the page is given up with the reason in words.
void HttpFetcher::onSslErrors(quint64 token, const QList<QSslError> &errors)
{
    if (token != m_token || !m_socket)
        return;
    if (SettingsStore::instance().readFlag(Keys::IgnoreCertificateErrors, false))
        static_cast<QSslSocket *>(m_socket)->ignoreSslErrors();
    else
        m_slot.tlsFailure = TlsFailure::certificateText(errors);
}

// A secure connection that was made but never secured ends the page: the
// socket is left alone inside its own signal and let go just after.
void HttpFetcher::onSocketError(quint64 token, QAbstractSocket::SocketError error)
{
    if (token != m_token || !m_slot.connected || m_slot.encrypted)
        return;
    if (m_slot.tlsFailure.isEmpty())
        m_slot.tlsFailure = TlsFailure::connectionText(error);
    QMetaObject::invokeMethod(this, [this, token] { failSecurePage(token); }, Qt::QueuedConnection);
}

void HttpFetcher::failSecurePage(quint64 token)
{
    if (token != m_token || !runningNow())
        return;
    m_idleTimer.stop();
    const QString text = m_slot.tlsFailure;
    const QString url = m_slot.host + m_slot.path;
    dropSocket();
    const quint64 after = m_token;
    emit statusError(text, url);
    if (after == m_token)
        emit pageFailed(0);
}

void HttpFetcher::appendData(const QByteArray &bytes)
{
    qint64 take = bytes.size();
    if (m_slot.response.size() + take >= kResponseCap) {
        take = kResponseCap - m_slot.response.size();
        m_capReached = true;
    }
    m_slot.response.append(bytes.constData(), take);
    m_slot.received += take;
}

void HttpFetcher::detectHead()
{
    if (m_slot.headComplete)
        return;
    // Search only what is new (and the three bytes before it), so a long
    // response without a blank line costs linear time.
    const qsizetype end = m_slot.response.indexOf(kBlankLine, m_headSearchFrom);
    if (end < 0) {
        m_headSearchFrom = qMax<qsizetype>(0, m_slot.response.size() - 3);
        return;
    }
    m_slot.headComplete = true;
    m_slot.received -= end + 4; // the head through its blank line
    // Lines end at CR LF; only the first holding "Content-Length" (exact case)
    // is looked at.
    const QByteArray head = m_slot.response.left(end);
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
                    m_slot.contentLength = v;
            }
            break;
        }
        start = stop + 2;
    }
}

void HttpFetcher::onDataArrived(quint64 token)
{
    if (token != m_token || !m_socket || !runningNow() || m_socket->bytesAvailable() <= 0)
        return; // a queued announcement whose data an earlier step took
    m_dataStepToken = token;
    // No new data signal comes for bytes that arrive while the step lets
    // events run (nor after the close): the step takes them in turn.
    do {
        m_slot.idleSeconds = 0;
        appendData(m_socket->readAll());

        emit statusText(QStringLiteral("Downloading: ") + m_slot.host + m_slot.path + QStringLiteral(" (")
                        + QString::number(m_slot.received) + QLatin1Char(')'));
        EventPump::pump();
        if (token == m_token && m_slot.contentLength >= 1) {
            const float share = std::fabs(float(m_slot.received) / float(m_slot.contentLength) * 100.0f);
            if (share <= 100.0f)
                emit progress(int(share));
            EventPump::pump();
        }
        if (token != m_token)
            break;
        detectHead();
    } while (m_socket && !m_capReached && m_socket->bytesAvailable() > 0);
    if (m_dataStepToken == token)
        m_dataStepToken = 0;
    if (token != m_token)
        return;
    if (m_capReached || m_closePending) {
        m_closePending = false;
        finishPage();
    }
}

void HttpFetcher::onClosed(quint64 token)
{
    if (token != m_token || !runningNow())
        return;
    if (m_slot.secure && !m_slot.encrypted) {
        if (m_slot.tlsFailure.isEmpty())
            m_slot.tlsFailure = TlsFailure::connectionText(QAbstractSocket::RemoteHostClosedError);
        QMetaObject::invokeMethod(this, [this, token] { failSecurePage(token); }, Qt::QueuedConnection);
        return;
    }
    if (m_dataStepToken == token) {
        m_closePending = true; // finished when the data step returns
        return;
    }
    if (m_socket && m_socket->bytesAvailable() > 0) {
        appendData(m_socket->readAll());
        detectHead();
    }
    finishPage();
}

// A plain answer that sends the page to the https URL of the same host (or
// its "www." twin) makes the host known to be secure, and the page is fetched
// again over TLS in the same slot as the page itself. Its URL stays as the
// entry gave it unless the redirect names another path.
bool HttpFetcher::fetchAgainSecurely(const QByteArray &head)
{
    SecureRedirect target;
    if (m_slot.secure || !m_secureHosts || !secureRedirect(head, m_slot.requestHost, &target))
        return false;
    m_secureHosts->markSecure(m_slot.requestHost);
    m_secureHosts->markSecure(target.host);
    dropSocket();
    const quint64 token = m_token;
    if (target.path != m_slot.path) {
        const RequestTarget t = splitRequestTarget(m_slot.host + target.path);
        m_strURL = t.strURL;
        m_strCurUrl = t.strCurUrl;
        m_strCurDir = t.strCurDir;
    }
    FetchSlot again;
    again.host = m_slot.host;
    again.path = target.path;
    again.pageSeconds = m_slot.pageSeconds;
    again.secure = true;
    again.upgraded = true;
    again.requestHost = target.host;
    m_slot = again;
    m_capReached = false;
    m_headSearchFrom = 0;
    emit statusText(QStringLiteral("Downloading: ") + m_slot.host + m_slot.path);
    m_idleTimer.start();
    connectSlot(token);
    return true;
}

void HttpFetcher::finishPage()
{
    m_idleTimer.stop();
    QByteArray raw = m_slot.response;
    const qsizetype end = raw.indexOf(kBlankLine);
    if (end >= 0 && fetchAgainSecurely(raw.left(end)))
        return;
    // The head stays with the slot: the page's robots directives are read from it.
    m_slot.head = end >= 0 ? raw.left(end + 4) : QByteArray();
    // The page text is the body the server meant, whatever cut its chunks.
    if (end >= 0 && ChunkedBody::isChunked(raw.left(end)))
        raw = raw.left(end + 4) + ChunkedBody::decode(raw.mid(end + 4));
    const QString response = QString::fromLatin1(raw);
    const QString head = end >= 0 ? response.left(end + 4) : QString();
    const QString url = m_slot.host + m_slot.path;
    // The socket is done with; nothing of it may reach the handlers any more.
    dropSocket();
    const quint64 token = m_token;

    const QString error = HttpStatus::errorForHead(head);
    if (!error.isEmpty())
        emit statusError(error, url);
    if (token != m_token)
        return;

    QString page = response;
    if (!head.isEmpty())
        TextSearch::replaceNoCase(page, head, u"");
    emit statusText(QStringLiteral("Finished: ") + url);
    EventPump::pump();
    if (token != m_token)
        return;
    emit pageArrived(0, page);
}
