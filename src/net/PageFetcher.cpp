#include "net/PageFetcher.h"

#include "net/BodyReader.h"
#include "net/ChunkedBody.h"
#include "net/ConnectionPool.h"
#include "net/HostName.h"
#include "net/HttpConnection.h"
#include "net/HttpHeaders.h"
#include "url/TextSearch.h"

#include <QLocale>

#include <utility>

static const QByteArray kBlankLine("\r\n\r\n");

const QByteArray PageFetcher::kAccept("text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
const QByteArray PageFetcher::kAcceptEncoding("gzip, deflate");

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

// A line break in a stored value must not end the request early, and a NUL
// or other control character makes servers refuse it.
static QByteArray cleanAgent(const QString &userAgent)
{
    QString agent = userAgent;
    agent.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    return agent.toLatin1();
}

static QByteArray agentLine(const QString &userAgent)
{
    const QByteArray agent = cleanAgent(userAgent);
    return agent.isEmpty() ? QByteArray() : "User-Agent: " + agent + "\r\n";
}

QByteArray PageFetcher::requestBytes(const QString &host, const QString &path, const QString &userAgent)
{
    return "GET " + path.toLatin1() + " HTTP/1.1\r\n" + "Host: " + asciiHost(host).toLatin1() + "\r\n"
        + "Connection: close\r\n" + "Accept: */*\r\n" + agentLine(userAgent) + "\r\n";
}

QByteArray PageFetcher::acceptLanguage()
{
    static const QByteArray value = [] {
        const QLocale locale = QLocale::system();
        // The C locale is the one of American English.
        if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
            return QByteArray("en-US,en;q=0.5");
        const QByteArray tag = locale.name().replace(QLatin1Char('_'), QLatin1Char('-')).toLatin1();
        const QByteArray language = QLocale::languageToCode(locale.language()).toLatin1();
        QByteArray v = tag;
        if (tag != language && language != "en")
            v += "," + language + ";q=0.9";
        return v + ",en;q=0.5";
    }();
    return value;
}

QByteArray PageFetcher::browserRequestBytes(const QString &host, const QString &target, const QString &userAgent,
                                            const QByteArray &cookies)
{
    QByteArray bytes = "GET " + target.toLatin1() + " HTTP/1.1\r\n" + "Host: " + asciiHost(host).toLatin1() + "\r\n"
                     + "Connection: keep-alive\r\n" + "Accept: " + kAccept + "\r\n" + agentLine(userAgent)
                     + "Accept-Language: " + acceptLanguage() + "\r\n" + "Accept-Encoding: " + kAcceptEncoding
                     + "\r\n";
    if (!cookies.isEmpty())
        bytes += "Cookie: " + cookies + "\r\n";
    return bytes + "\r\n";
}

PageFetcher::PageFetcher(const PageRequest &request, QObject *parent)
    : PageFetcher(request, nullptr, parent)
{
}

PageFetcher::PageFetcher(const PageRequest &request, ConnectionPool *pool, QObject *parent)
    : QObject(parent)
    , m_request(request)
    , m_pool(pool)
    , m_plain(request.isPlain())
{
    if (!pool) {
        m_ownPool = new ConnectionPool(this);
        m_pool = m_ownPool;
    }
}

PageFetcher::~PageFetcher()
{
    letConnectionGo(false);
}

QByteArray PageFetcher::partialBody() const
{
    if (!m_headComplete)
        return m_response;
    return m_body ? m_body->data() : m_result.body;
}

// The host the connection goes to: as the request names it, in ASCII, lower case.
static Origin originOf(const PageRequest &request)
{
    Origin origin;
    origin.host = asciiHost(request.host).toLower();
    origin.secure = request.secure;
    origin.port = request.secure ? request.tlsPort : request.port;
    return origin;
}

void PageFetcher::start()
{
    if (!isAscii(asciiHost(m_request.host))) {
        // A name without an ASCII form cannot be looked up.
        QMetaObject::invokeMethod(this, [this] { finish(PageResult::Failure::BadName); }, Qt::QueuedConnection);
        return;
    }
    if (!m_plain && m_pool) {
        const Origin origin = originOf(m_request);
        const ProxyRoute route = m_pool->proxy().route(origin.host, origin.port, origin.secure);
        if (HttpConnection *kept = m_pool->takeKept(origin, route, m_request.acceptAnyCertificate)) {
            attach(kept);
            if (kept->isReady()) {
                m_reused = true;
                sendRequest();
            } else if (kept->hasReachedHost()) {
                onConnected(); // opened ahead: its handshake is under way
            }
            return;
        }
    }
    openConnection();
}

void PageFetcher::warm(const PageRequest &request, ConnectionPool &pool, int connections)
{
    if (request.isPlain() || request.host.isEmpty() || !isAscii(asciiHost(request.host)))
        return;
    const Origin origin = originOf(request);
    pool.warm(origin, pool.proxy().route(origin.host, origin.port, origin.secure), request.acceptAnyCertificate,
              cleanAgent(request.userAgent), connections);
}

void PageFetcher::openConnection()
{
    if (!m_pool)
        return;
    const Origin origin = originOf(m_request);
    const ProxyRoute route = m_pool->proxy().route(origin.host, origin.port, origin.secure);
    // A tunnel names the scan's user agent; the request of old names none.
    const QByteArray tunnelAgent = m_plain ? QByteArray() : cleanAgent(m_request.userAgent);
    attach(m_pool->open(origin, route, m_request.acceptAnyCertificate, tunnelAgent));
}

void PageFetcher::attach(HttpConnection *connection)
{
    m_connection = connection;
    connect(connection, &HttpConnection::connected, this, &PageFetcher::onConnected);
    connect(connection, &HttpConnection::ready, this, &PageFetcher::sendRequest);
    connect(connection, &HttpConnection::failed, this, &PageFetcher::onFailed);
    connect(connection, &HttpConnection::readyRead, this, &PageFetcher::onReadyRead);
    connect(connection, &HttpConnection::closed, this, &PageFetcher::onClosed);
}

void PageFetcher::sendRequest()
{
    if (!m_connection || m_done)
        return;
    const bool wholeUrl = m_connection->namesWholeUrl();
    QString target = m_request.path;
    if (wholeUrl) {
        // An HTTP proxy is asked for the whole URL.
        const QString host = asciiHost(m_request.host);
        const bool portNamed = host.contains(QLatin1Char(':')) || m_request.port == 80;
        target = QStringLiteral("http://") + host
            + (portNamed ? QString() : QLatin1Char(':') + QString::number(m_request.port)) + m_request.path;
    }
    QByteArray bytes;
    if (m_plain) {
        bytes = requestBytes(m_request.host, target, m_request.userAgent);
    } else {
        const QByteArray cookies = m_pool ? m_pool->cookies().header(originOf(m_request).host.section(QLatin1Char(':'), 0, 0),
                                                                     m_request.path, m_request.secure)
                                          : QByteArray();
        bytes = browserRequestBytes(m_request.host, target, m_request.userAgent, cookies);
    }
    if (wholeUrl)
        bytes.insert(bytes.size() - 2, m_connection->route().authorizationLine());
    m_connection->write(bytes);
}

void PageFetcher::onConnected()
{
    m_result.connected = true;
    announce();
}

// The page's connection is told once, whether new, kept or made again.
void PageFetcher::announce()
{
    if (m_announced)
        return;
    m_announced = true;
    m_result.connected = true;
    emit connected();
}

void PageFetcher::announceKeptConnection()
{
    if (m_reused && !m_done)
        announce();
}

void PageFetcher::onFailed(PageResult::Failure failure, const QString &text)
{
    finish(failure, text);
}

void PageFetcher::onClosed()
{
    if (m_done)
        return;
    // A kept connection the server closed before it answered: the request
    // goes once more, on a new connection.
    if (m_reused && !m_anyByte && !m_resent) {
        letConnectionGo(false);
        m_reused = false;
        m_resent = true;
        openConnection();
        return;
    }
    finish();
}

void PageFetcher::onReadyRead()
{
    if (!m_connection || m_done)
        return;
    const QByteArray bytes = m_connection->readAll();
    if (bytes.isEmpty())
        return;
    if (m_reused)
        announce();
    take(bytes);
    if (m_done)
        return;
    emit dataArrived(m_received, m_contentLength);
    if (m_result.capped || answerIsWhole())
        finish();
}

bool PageFetcher::answerIsWhole() const
{
    return !m_plain && m_headComplete && m_body && m_body->isDone();
}

void PageFetcher::take(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_anyByte = true;
    if (m_headComplete) {
        m_received += bytes.size();
        if (m_body->feed(bytes) < bytes.size() && !m_plain)
            m_extraBytes = true;
        m_result.capped = m_result.capped || m_body->isCapped();
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
    qsizetype end = m_response.indexOf(kBlankLine, m_headSearchFrom);
    // A browser's request may get interim answers (103 Early Hints) before its own.
    while (end >= 0 && !m_plain) {
        const int code = HttpHeaders::statusCode(m_response.left(end));
        if (code < 100 || code > 199 || code == 101)
            break;
        m_response.remove(0, end + 4);
        end = m_response.indexOf(kBlankLine);
    }
    if (end < 0) {
        m_headSearchFrom = qMax<qsizetype>(0, m_response.size() - 3);
        return;
    }
    m_headComplete = true;
    m_result.head = m_response.left(end + 4);
    QByteArray rest = m_response.mid(end + 4);
    m_response.clear();
    // Lines end at CR LF; only the first holding "Content-Length" (exact
    // case) is looked at for the progress shown.
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
    startBody();
    take(rest);
}

// Where the body ends and what it carries. The request of old reads until
// the close, chunks joined; a browser's request follows the head.
void PageFetcher::startBody()
{
    const QByteArray &head = m_result.head;
    if (m_plain) {
        m_body = std::make_unique<BodyReader>(ChunkedBody::isChunked(head) ? BodyReader::Framing::Chunked
                                                                           : BodyReader::Framing::Close,
                                              0, ContentDecoder::Coding::Identity, kPageCap);
        return;
    }
    if (m_pool)
        m_pool->cookies().take(head, originOf(m_request).host.section(QLatin1Char(':'), 0, 0), m_request.path,
                               m_request.secure);
    const int code = HttpHeaders::statusCode(head);
    const bool chunked = ChunkedBody::isChunked(head);
    const bool hasEncoding = HttpHeaders::has(head, "Transfer-Encoding");
    const QByteArray lengthText = HttpHeaders::value(head, "Content-Length");
    bool lengthOk = false;
    qint64 length = -1;
    if (!lengthText.isEmpty()) {
        length = lengthText.toLongLong(&lengthOk);
        lengthOk = lengthOk && length >= 0 && lengthText.at(0) != '+';
    }
    BodyReader::Framing framing = BodyReader::Framing::Close;
    if (code == 204 || code == 304) {
        framing = BodyReader::Framing::Length;
        length = 0;
    } else if (hasEncoding) {
        framing = chunked ? BodyReader::Framing::Chunked : BodyReader::Framing::Close;
    } else if (lengthOk) {
        framing = BodyReader::Framing::Length;
    }
    const ContentDecoder::Coding coding = ContentDecoder::codingOf(HttpHeaders::value(head, "Content-Encoding"));
    m_body = std::make_unique<BodyReader>(framing, length, coding, kPageCap);

    // The connection may carry another request when the answer says where it
    // ends and does not ask to close (HTTP/1.0 must ask to keep).
    const QByteArray connection = HttpHeaders::value(head, "Connection").toLower();
    const bool http10 = head.startsWith("HTTP/1.0");
    const bool closes = connection.contains("close") || (http10 && !connection.contains("keep-alive"));
    const bool lengthConflict = hasEncoding && !lengthText.isEmpty();
    m_keepable = framing != BodyReader::Framing::Close && !closes && !lengthConflict && code != 101;
    m_keepMs = ConnectionPool::kKeepMs;
    const QByteArray keepAlive = HttpHeaders::value(head, "Keep-Alive").toLower();
    const qsizetype timeout = keepAlive.indexOf("timeout=");
    if (timeout >= 0) {
        bool ok = false;
        const int seconds = keepAlive.mid(timeout + 8).split(',').first().trimmed().toInt(&ok);
        if (ok)
            m_keepMs = qMin(m_keepMs, (seconds - 1) * 1000); // a second less than the server keeps it
    }
}

void PageFetcher::letConnectionGo(bool mayKeep)
{
    if (!m_connection)
        return;
    HttpConnection *connection = m_connection;
    m_connection = nullptr;
    connection->disconnect(this);
    if (m_pool && mayKeep && m_pool != m_ownPool)
        m_pool->keep(connection, m_keepMs);
    else if (m_pool)
        m_pool->drop(connection);
    else
        connection->dispose();
}

void PageFetcher::cancel()
{
    m_done = true;
    letConnectionGo(false);
}

void PageFetcher::finish(PageResult::Failure failure, const QString &text)
{
    if (m_done)
        return;
    if (failure == PageResult::Failure::None && m_connection) {
        const QByteArray rest = m_connection->readAll();
        take(rest);
    }
    // Closed before a single byte: no reply at all, which is not a page.
    if (failure == PageResult::Failure::None && !m_anyByte)
        failure = PageResult::Failure::NoReply;
    m_done = true;
    const bool keep = failure == PageResult::Failure::None && !m_plain && m_keepable && m_headComplete
        && m_body->isComplete() && !m_extraBytes && !m_result.capped;
    letConnectionGo(keep);
    m_result.failure = failure;
    m_result.failureText = text;
    if (failure == PageResult::Failure::None) {
        if (!m_headComplete)
            m_result.body = std::exchange(m_response, QByteArray());
        else if (m_body)
            m_result.body = m_body->takeData();
    }
    emit finished();
}
