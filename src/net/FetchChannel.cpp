#include "net/FetchChannel.h"

#include "net/FileFetch.h"

#include <QUrl>

FetchChannel::FetchChannel(HostScheduler &scheduler, QObject *parent)
    : QObject(parent)
    , m_scheduler(scheduler)
{
    m_idleTimer.setInterval(1000);
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        // A request on a kept connection counts as connected before its first
        // silent second, as a new connection would have been.
        if (m_current)
            m_current->announceKeptConnection();
        emit idleTick(m_id);
    });
}

FetchChannel::~FetchChannel()
{
    cancelAll();
}

void FetchChannel::release(HostScheduler::Ticket &ticket)
{
    if (ticket)
        m_scheduler.release(std::exchange(ticket, 0));
}

// A fetcher is let go from the event loop, never inside one of its own signals.
static void letGo(PageFetcher *&fetcher)
{
    if (!fetcher)
        return;
    PageFetcher *old = std::exchange(fetcher, nullptr);
    old->disconnect();
    old->cancel();
    old->deleteLater();
}

void FetchChannel::cancel()
{
    ++m_id;
    m_idleTimer.stop();
    letGo(m_current);
    if (m_download) {
        FileFetch *old = std::exchange(m_download, nullptr);
        old->disconnect(this);
        old->cancel();
        old->deleteLater();
    }
    release(m_ticket);
}

void FetchChannel::cancelAll()
{
    cancel();
    dropAhead();
}

void FetchChannel::dropAhead()
{
    letGo(m_ahead);
    release(m_aheadTicket);
}

int FetchChannel::addIdleSecond()
{
    ++m_pageSeconds;
    return ++m_idleSeconds;
}

quint64 FetchChannel::fetch(const PageRequest &request)
{
    cancel();
    const quint64 id = m_id;
    m_request = request;
    m_idleSeconds = 0;
    m_pageSeconds = 0;
    if (m_ahead && m_ahead->request().sameTarget(request)) {
        adopt(id);
        return id;
    }
    dropAhead();
    if (m_scheduler.acquire(request.host, HostScheduler::Lane::Page, this, [this, id] { begin(id); }, &m_ticket))
        begin(id);
    return id;
}

void FetchChannel::begin(quint64 id)
{
    if (id != m_id)
        return;
    m_idleSeconds = 0;
    m_pageSeconds = 0;
    m_idleTimer.start();
    m_current = new PageFetcher(m_request, &m_scheduler.pool(), this);
    watch(m_current, id);
    m_current->start();
}

void FetchChannel::watch(PageFetcher *fetcher, quint64 id)
{
    connect(fetcher, &PageFetcher::connected, this, [this, id] { emit connected(id); });
    connect(fetcher, &PageFetcher::dataArrived, this, [this, id](qint64 received, qint32 length) {
        m_idleSeconds = 0;
        emit dataArrived(id, received, length);
    });
    connect(fetcher, &PageFetcher::finished, this, [this, id, fetcher] {
        if (id != m_id || fetcher != m_current)
            return;
        const PageResult result = fetcher->takeResult();
        // A connection that could not be made leaves the idle count running:
        // whoever asked decides how long to wait for a host out of reach.
        if (result.connected || result.failure == PageResult::Failure::None)
            m_idleTimer.stop();
        letGo(m_current);
        release(m_ticket); // a page asked for ahead holds the side connection in it
        emit finished(id, result);
    });
}

// The page asked for ahead becomes the page in flight. What it did before it
// was wanted happens now, in its order: the connection, then its data.
void FetchChannel::adopt(quint64 id)
{
    PageFetcher *ahead = std::exchange(m_ahead, nullptr);
    ahead->disconnect(this);
    const bool whole = ahead->isDone() && ahead->result().isPage() && ahead->result().connected;
    // From now on its side connection (if it still holds one) is the page's.
    m_ticket = std::exchange(m_aheadTicket, 0);
    if (ahead->isDone() && !whole) {
        // Refused or reset: it is fetched again for real.
        letGo(ahead);
        release(m_ticket);
        if (m_scheduler.acquire(m_request.host, HostScheduler::Lane::Page, this, [this, id] { begin(id); },
                                &m_ticket))
            begin(id);
        return;
    }
    m_current = ahead;
    m_idleTimer.start();
    // The receivers take these from the event loop, in this order, after
    // fetch() has returned the id.
    if (ahead->result().connected)
        emit connected(id);
    if (whole) {
        emit dataArrived(id, ahead->received(), ahead->contentLength());
        m_idleTimer.stop();
        const PageResult result = ahead->takeResult();
        letGo(m_current);
        release(m_ticket);
        emit finished(id, result);
        return;
    }
    watch(ahead, id);
}

void FetchChannel::fetchAhead(const PageRequest &request)
{
    if (m_ahead && m_ahead->request().sameTarget(request))
        return;
    dropAhead();
    if (request.host.isEmpty())
        return;
    // The page in flight may hold either lane: it may be one asked for ahead.
    if (!m_scheduler.tryAcquire(request.host, HostScheduler::Lane::Side, &m_aheadTicket)
        && !m_scheduler.tryAcquire(request.host, HostScheduler::Lane::Page, &m_aheadTicket))
        return;
    m_ahead = new PageFetcher(request, &m_scheduler.pool(), this);
    // Unseen until adopted; a finished page keeps its answer until then.
    // Its connection has ended: the host has its side connection back.
    connect(m_ahead, &PageFetcher::finished, this, [this] { release(m_aheadTicket); });
    m_ahead->start();
}

quint64 FetchChannel::download(const QString &url, const DownloadLimits &limits, const PageRequest &base)
{
    cancel();
    const quint64 id = m_id;
    const QUrl target = QUrl::fromEncoded(url.toLatin1(), QUrl::TolerantMode);
    auto begin = [this, id, target, limits, base] {
        if (id != m_id)
            return;
        m_download = new FileFetch(target, base, limits.idleTimeoutMs, limits.totalTimeoutMs, &m_scheduler, this);
        connect(m_download, &FileFetch::finished, this, [this, id] {
            if (id != m_id)
                return;
            FileFetch *done = std::exchange(m_download, nullptr);
            done->disconnect(this);
            done->deleteLater();
            release(m_ticket);
            DownloadResult result;
            result.body = QString::fromLatin1(done->body());
            result.head = done->head();
            result.url = done->finalUrl();
            result.looped = done->looped();
            emit downloaded(id, result);
        });
        m_download->start();
    };
    const QString host = target.host();
    if (host.isEmpty() || m_scheduler.acquire(host, HostScheduler::Lane::Page, this, begin, &m_ticket))
        begin();
    return id;
}
