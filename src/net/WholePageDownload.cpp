#include "net/WholePageDownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

QString downloadWholePage(QString &url, int idleTimeoutMs)
{
    if (!url.contains(QLatin1String("http://"), Qt::CaseInsensitive)
        && !url.contains(QLatin1String("https://"), Qt::CaseInsensitive))
        url.prepend(QLatin1String("http://"));

    // The text is sent as the caller composed it: percent escapes stay as they are.
    const QUrl target = QUrl::fromEncoded(url.toLatin1(), QUrl::TolerantMode);
    if (!target.isValid() || target.host().isEmpty())
        return QString();

    QNetworkAccessManager manager; // one session per call
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(target);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("Mozilla"));
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);

    QNetworkReply *reply = manager.get(request);
    QByteArray body;
    QEventLoop loop;
    // A server that goes silent is left after the idle time; what came is kept.
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(idleTimeoutMs);
    QObject::connect(&idle, &QTimer::timeout, &loop, [&] { reply->abort(); });
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        idle.start();
    });
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &idle, qOverload<>(&QTimer::start));
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        idle.start();
        loop.exec();
    }
    body += reply->readAll();
    delete reply;
    return QString::fromLatin1(body);
}
