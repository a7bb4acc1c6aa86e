#include "net/FileFetch.h"

#include "net/HostScheduler.h"
#include "net/HttpStatus.h"

#include <limits>

namespace {

int statusOf(const QByteArray &head)
{
    bool ok = false;
    const int code = HttpStatus::statusCode(QString::fromLatin1(head)).toInt(&ok);
    return ok ? code : 0;
}

QByteArray locationOf(const QByteArray &head)
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon >= 0 && line.left(colon).trimmed().compare("location", Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

} // namespace

FileFetch::FileFetch(const QUrl &url, const PageRequest &base, int idleMs, qint64 totalMs, HostScheduler *scheduler,
                     QObject *parent)
    : QObject(parent)
    , m_base(base)
    , m_scheduler(scheduler)
    , m_url(url)
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(int(qBound(qint64(1), totalMs, qint64(std::numeric_limits<int>::max()))));
    m_idle.setSingleShot(true);
    m_idle.setInterval(qMax(1, idleMs));
    connect(&m_limit, &QTimer::timeout, this, &FileFetch::giveUp);
    connect(&m_idle, &QTimer::timeout, this, &FileFetch::giveUp);
}

void FileFetch::start()
{
    m_limit.start();
    m_idle.start();
    fetch(m_url);
}

// A server silent too long, or one that never stops: what came is kept.
void FileFetch::giveUp()
{
    if (!m_fetcher) {
        end(0, QByteArray());
        return;
    }
    const QByteArray head = m_fetcher->partialHead();
    end(statusOf(head), m_fetcher->partialBody(), head);
}

void FileFetch::cancel()
{
    m_done = true;
    m_limit.stop();
    m_idle.stop();
    if (m_fetcher) {
        m_fetcher->disconnect(this);
        m_fetcher->cancel();
        m_fetcher->deleteLater();
        m_fetcher = nullptr;
    }
}

void FileFetch::fetch(const QUrl &url)
{
    m_url = url;
    m_visited.append(url.adjusted(QUrl::NormalizePathSegments));
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    if (!url.isValid() || url.host().isEmpty() || (!secure && url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0)) {
        end(0, QByteArray());
        return;
    }
    PageRequest request = m_base;
    request.host = url.host(QUrl::FullyEncoded);
    QString path = url.path(QUrl::FullyEncoded);
    if (path.isEmpty())
        path = QStringLiteral("/");
    if (url.hasQuery())
        path += QLatin1Char('?') + url.query(QUrl::FullyEncoded);
    request.path = path;
    request.secure = secure;
    request.port = quint16(url.port(80));
    request.tlsPort = quint16(url.port(443));
    m_fetcher = new PageFetcher(request, m_scheduler ? &m_scheduler->pool() : nullptr, this);
    connect(m_fetcher, &PageFetcher::finished, this, &FileFetch::onFetched);
    connect(m_fetcher, &PageFetcher::dataArrived, &m_idle, qOverload<>(&QTimer::start));
    m_fetcher->start();
}

void FileFetch::onFetched()
{
    PageFetcher *fetcher = std::exchange(m_fetcher, nullptr);
    const PageResult result = fetcher->takeResult();
    fetcher->disconnect(this);
    fetcher->deleteLater();
    if (!result.isPage() || result.head.isEmpty()) {
        end(0, QByteArray());
        return;
    }
    const int status = statusOf(result.head);
    const QByteArray location = locationOf(result.head);
    const bool redirect = status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
    if (redirect && !location.isEmpty()) {
        const QUrl next = m_url.resolved(QUrl::fromEncoded(location, QUrl::TolerantMode));
        if (m_redirects >= kMaxRedirects || m_visited.contains(next.adjusted(QUrl::NormalizePathSegments))) {
            m_looped = true;
            end(0, QByteArray());
            return;
        }
        ++m_redirects;
        fetch(next);
        return;
    }
    end(status, result.body, result.head);
}

void FileFetch::end(int status, const QByteArray &body, const QByteArray &head)
{
    if (m_done)
        return;
    cancel();
    m_status = status;
    m_body = body;
    m_head = head;
    emit finished();
}
