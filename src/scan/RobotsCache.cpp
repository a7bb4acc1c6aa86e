#include "scan/RobotsCache.h"

#include "net/HostName.h"
#include "net/WholePageDownload.h"

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

void RobotsCache::clear()
{
    ++m_epoch;
    for (Entry &entry : m_entries) {
        if (entry.download) {
            entry.download->disconnect(this);
            entry.download->abort();
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
    auto *download = new WholePageDownload(this);
    entry.download = download;
    connect(download, &WholePageDownload::finished, this, [this, k, download](const QString &body) {
        const int status = download->statusCode();
        download->deleteLater();
        auto it = m_entries.find(k);
        if (it == m_entries.end() || it->download != download)
            return;
        it->download = nullptr;
        settle(k, status, body.toLatin1());
    });
    // A silent server holds no scan longer than its time-out.
    const qint64 ms = 1000LL * qMax(1, m_timeOutSeconds);
    DownloadLimits limits;
    limits.idleTimeoutMs = int(ms);
    limits.totalTimeoutMs = ms;
    download->start(url, limits);
    return k;
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
