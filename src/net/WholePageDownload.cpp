#include "net/WholePageDownload.h"

#include "net/ProxyChoice.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <limits>
#include <utility>

namespace {

// Every request of a download, redirections included, asks the choice
// for its own scheme and host.
class ChosenProxy : public QNetworkProxyFactory
{
public:
    ChosenProxy(ProxyChoice choice, QByteArray agent)
        : m_choice(std::move(choice))
        , m_agent(std::move(agent))
    {
    }
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        const bool secure = query.protocolTag().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
        const int port = query.peerPort() > 0 ? query.peerPort() : (secure ? 443 : 80);
        return {m_choice.qtProxy(query.peerHostName(), quint16(port), secure, m_agent)};
    }

private:
    ProxyChoice m_choice;
    QByteArray m_agent;
};

} // namespace

void prefixHttp(QString &url)
{
    if (!url.contains(QLatin1String("http://"), Qt::CaseInsensitive)
        && !url.contains(QLatin1String("https://"), Qt::CaseInsensitive))
        url.prepend(QLatin1String("http://"));
}

WholePageDownload::WholePageDownload(QObject *parent)
    : QObject(parent)
{
    m_idle.setSingleShot(true);
    m_total.setSingleShot(true);
    // A silent server and one that never stops are both left with what came.
    connect(&m_idle, &QTimer::timeout, this, &WholePageDownload::finish);
    connect(&m_total, &QTimer::timeout, this, &WholePageDownload::finish);
}

WholePageDownload::~WholePageDownload()
{
    abort();
}

void WholePageDownload::abort()
{
    m_running = false;
    m_idle.stop();
    m_total.stop();
    m_body.clear();
    if (m_reply) {
        QNetworkReply *reply = std::exchange(m_reply, nullptr);
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (m_manager) {
        std::exchange(m_manager, nullptr)->deleteLater();
    }
}

void WholePageDownload::start(const QString &url, const DownloadLimits &limits)
{
    abort();
    m_running = true;
    m_statusCode = 0;
    m_total.start(int(qBound(qint64(0), limits.totalTimeoutMs, qint64(std::numeric_limits<int>::max()))));

    // The text is sent as the caller composed it: percent escapes stay as they are.
    const QUrl target = QUrl::fromEncoded(url.toLatin1(), QUrl::TolerantMode);
    if (!target.isValid() || target.host().isEmpty()) {
        m_total.start(0); // "" once control is back in the event loop
        return;
    }

    QNetworkRequest request(target);
    // The scan's user agent; an empty one gives the plain "Mozilla" of old.
    QString agent = SettingsStore::instance().read(Keys::UserAgent, kDefaultUserAgent);
    agent.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    // The same way out as the scan's pages (the Proxy setting); a tunnel
    // names the user agent only when the setting gives one.
    m_manager = new QNetworkAccessManager(this);
    m_manager->setProxyFactory(new ChosenProxy(ProxyChoice::fromSettings(), agent.toLatin1()));
    request.setHeader(QNetworkRequest::UserAgentHeader, agent.isEmpty() ? QByteArray("Mozilla") : agent.toLatin1());
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);

    m_reply = m_manager->get(request);
    m_idle.setInterval(limits.idleTimeoutMs);
    m_idle.start();
    connect(m_reply, &QNetworkReply::readyRead, this, [this] {
        m_idle.start();
        readSome();
        if (m_body.size() >= kDownloadCap)
            finish();
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, &m_idle, qOverload<>(&QTimer::start));
    connect(m_reply, &QNetworkReply::finished, this, &WholePageDownload::finish);
    if (m_acceptAnyCertificate) {
        connect(m_reply, &QNetworkReply::sslErrors, this, [this] {
            if (m_reply)
                m_reply->ignoreSslErrors();
        });
    }
}

void WholePageDownload::readSome()
{
    const qint64 room = kDownloadCap - m_body.size();
    if (m_reply && room > 0 && m_reply->isOpen())
        m_body += m_reply->read(room);
}

void WholePageDownload::finish()
{
    if (!m_running)
        return;
    readSome();
    const QByteArray body = std::exchange(m_body, QByteArray());
    m_statusCode = m_reply ? m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
    abort();
    emit finished(QString::fromLatin1(body));
}

QString downloadWholePage(QString &url, int idleTimeoutMs)
{
    prefixHttp(url);
    WholePageDownload download;
    QString body;
    QEventLoop loop;
    QObject::connect(&download, &WholePageDownload::finished, &loop, [&](const QString &text) {
        body = text;
        loop.quit();
    });
    download.start(url, {idleTimeoutMs, 10LL * idleTimeoutMs});
    loop.exec();
    return body;
}
