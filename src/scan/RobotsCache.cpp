#include "scan/RobotsCache.h"

#include "net/FileFetch.h"
#include "net/HostName.h"
#include "net/HostScheduler.h"

RobotsCache::RobotsCache(QObject *parent)
    : QObject(parent)
{
}

RobotsCache::~RobotsCache()
{
    clear();
}

void RobotsCache::setPorts(quint16 plain, quint16 tls)
{
    m_plainPort = plain;
    m_tlsPort = tls;
}

void RobotsCache::setTimeOutSeconds(int seconds)
{
    m_timeOutSeconds = seconds;
}

void RobotsCache::releaseTicket(Entry &entry)
{
    if (entry.ticket && m_scheduler)
        m_scheduler->release(entry.ticket);
    entry.ticket = 0;
}

void RobotsCache::clear()
{
    ++m_epoch;
    for (Entry &entry : m_entries) {
        releaseTicket(entry);
        if (entry.download) {
            entry.download->disconnect(this);
            entry.download->cancel();
            entry.download->deleteLater();
        }
    }
    m_entries.clear();
}

QString RobotsCache::key(const QString &host, bool secure)
{
    return (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + host.toLower();
}

QString RobotsCache::fileUrl(const QString &host, bool secure) const
{
    const quint16 port = secure ? m_tlsPort : m_plainPort;
    const quint16 standard = secure ? 443 : 80;
    QString url = (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + asciiHost(host);
    if (port != standard)
        url += QLatin1Char(':') + QString::number(port);
    return url + QStringLiteral("/robots.txt");
}

QString RobotsCache::request(const QString &host, bool secure)
{
    const QString k = key(host, secure);
    if (m_entries.contains(k))
        return k;
    Entry &entry = m_entries[k];
    const QString url = fileUrl(host, secure);
    if (m_fetch) {
        const Answer answer = m_fetch(url);
        settle(k, answer.status, answer.body);
        return k;
    }
    if (!m_scheduler) {
        startDownload(k, url);
        return k;
    }
    const quint64 epoch = m_epoch;
    auto begin = [this, k, url, epoch] {
        if (epoch == m_epoch && m_entries.contains(k))
            startDownload(k, url);
    };
    quint64 ticket = 0;
    const bool now = m_scheduler->acquire(host, HostScheduler::Lane::Side, this, begin, &ticket);
    entry.ticket = ticket;
    if (now)
        startDownload(k, url);
    return k;
}

void RobotsCache::startDownload(const QString &k, const QString &url)
{
    Entry &entry = m_entries[k];
    PageRequest base;
    base.userAgent = m_userAgent;
    base.acceptAnyCertificate = m_acceptAnyCertificate;
    // A silent server holds no scan longer than its time-out.
    const int ms = 1000 * qMax(1, m_timeOutSeconds);
    auto *download = new FileFetch(QUrl(url), base, ms, ms, m_scheduler, this);
    entry.download = download;
    connect(download, &FileFetch::finished, this, [this, k, download] {
        download->deleteLater();
        auto it = m_entries.find(k);
        if (it == m_entries.end() || it->download != download)
            return;
        it->download = nullptr;
        releaseTicket(*it);
        settle(k, download->statusCode(), download->body());
    });
    download->start();
}

void RobotsCache::settle(const QString &key, int status, const QByteArray &body)
{
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return;
    it->known = true;
    it->reading = readingOf(status);
    it->rules = it->reading == Reading::Rules ? RobotsTxt::parse(body) : RobotsTxt();
    const QList<Waiter> waiters = std::exchange(it->waiters, {});
    for (const Waiter &w : waiters)
        deliver(w);
}

RobotsCache::Reading RobotsCache::readingOf(int status)
{
    if (status >= 200 && status <= 299)
        return Reading::Rules;
    if (status >= 300 && status <= 499)
        return Reading::NoFile;
    return Reading::Unreachable; // 5xx, no answer, or nothing an HTTP server sends
}

void RobotsCache::deliver(const Waiter &waiter)
{
    if (!waiter.context)
        return;
    const quint64 epoch = m_epoch;
    QPointer<RobotsCache> self(this);
    QMetaObject::invokeMethod(
        waiter.context,
        [self, epoch, callback = waiter.callback] {
            if (self && self->m_epoch == epoch)
                callback();
        },
        Qt::QueuedConnection);
}

bool RobotsCache::isKnown(const QString &key) const
{
    const auto it = m_entries.constFind(key);
    return it != m_entries.constEnd() && it->known;
}

bool RobotsCache::allows(const QString &key, const QString &pathAndQuery) const
{
    const auto it = m_entries.constFind(key);
    return it == m_entries.constEnd() || !it->known || it->rules.allows(pathAndQuery);
}

LinkNotes::Flags RobotsCache::notes(const QString &key, const QString &pathAndQuery) const
{
    const auto it = m_entries.constFind(key);
    if (it == m_entries.constEnd() || !it->known)
        return LinkNotes::None;
    if (it->reading == Reading::Unreachable)
        return LinkNotes::RobotsUnreachable;
    if (!it->rules.allows(pathAndQuery))
        return LinkNotes::BlockedByRobots;
    if (!it->rules.allowsGooglebot(pathAndQuery))
        return LinkNotes::BlockedForGooglebot;
    return LinkNotes::None;
}

void RobotsCache::whenKnown(const QString &key, QObject *context, std::function<void()> callback)
{
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return;
    const Waiter waiter{context, std::move(callback)};
    if (it->known)
        deliver(waiter);
    else
        it->waiters.append(waiter);
}
