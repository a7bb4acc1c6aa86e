#include "net/WholePageDownload.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

QString downloadWholePage(QString &url, int idleTimeoutMs)
{
    if (!url.contains(QLatin1String("http://"), Qt::CaseInsensitive)
        && !url.contains(QLatin1String("https://"), Qt::CaseInsensitive))
        url.prepend(QLatin1String("http://"));

    const QUrl target(url, QUrl::TolerantMode);
    if (!target.isValid() || target.host().isEmpty())
        return QString();

    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy); // direct access, as the scan's own requests
    QNetworkRequest request(target);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("Mozilla"));
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // The time-out counts from the last data received, not from the start.
    request.setTransferTimeout(idleTimeoutMs);

    QNetworkReply *reply = manager.get(request);
    QByteArray body;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] { body += reply->readAll(); });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    body += reply->readAll();
    delete reply;
    return QString::fromLatin1(body);
}
