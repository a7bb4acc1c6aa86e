#include "net/HttpFetcher.h"

#include "net/EventPump.h"
#include "net/HttpStatus.h"
#include "net/WholePageDownload.h"
#include "url/TextSearch.h"
#include "url/UrlText.h"

#include <QTcpSocket>

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

QByteArray HttpFetcher::requestBytes(const QString &host, const QString &path)
{
    return "GET " + path.toLatin1() + " HTTP/1.1\r\n"
         + "Host: " + host.toLatin1() + "\r\n"
         + "Connection: close\r\n"
         + "Accept: */*\r\n"
         + "\r\n";
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
    m_capReached = false;
    m_headSearchFrom = 0;

    emit statusText(QStringLiteral("Downloading: ") + m_slot.host + m_slot.path);
    EventPump::pump();
    if (token != m_token)
        return; // a Stop or Skip in the events above has moved on already

    m_slot.idleSeconds = 0;
    m_idleTimer.start();

    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, [this, token] { onConnected(token); });
    connect(m_socket, &QTcpSocket::readyRead, this, [this, token] { onDataArrived(token); });
    connect(m_socket, &QTcpSocket::disconnected, this, [this, token] { onClosed(token); });
    // Errors are not handled: an unreachable host ends by the idle time-out.
    m_socket->connectToHost(m_slot.host, m_port);
}

void HttpFetcher::onConnected(quint64 token)
{
    if (token != m_token)
        return;
    emit connectedToHost(0);
    EventPump::pump();
    if (token != m_token || !m_socket)
        return;
    emit progress(0);
    m_socket->write(requestBytes(m_slot.host, m_slot.path));
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
    if (token != m_token || !m_socket || !runningNow())
        return;
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

void HttpFetcher::finishPage()
{
    m_idleTimer.stop();
    const QString response = QString::fromLatin1(m_slot.response);
    const qsizetype end = m_slot.response.indexOf(kBlankLine);
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
