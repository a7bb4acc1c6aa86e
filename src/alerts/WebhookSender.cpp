#include "alerts/WebhookSender.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {

// One POST: "" when a 2xx answer came, else what went wrong.
QString postOnce(QNetworkAccessManager &manager, const QUrl &url, const QByteArray &json, const DeliveryPolicy &policy,
                 QString *answer)
{
    const int timeoutMs = policy.timeoutMs;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Reciplex/3.0 alerts"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    QNetworkReply *reply = manager.post(request, json);
    // The body of the answer is not needed: it is read and dropped as it
    // comes, so an endless answer costs no memory; a server that keeps
    // talking past the time limit is cut off.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply] { reply->skip(reply->bytesAvailable()); });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer overall;
    overall.setSingleShot(true);
    QObject::connect(&overall, &QTimer::timeout, reply, &QNetworkReply::abort);
    overall.start(timeoutMs * 2);
    // The sender gives up (the window is closing): the try ends at once.
    QTimer cancelWatch;
    QObject::connect(&cancelWatch, &QTimer::timeout, reply, [reply, &policy] {
        if (policy.isCancelled())
            reply->abort();
    });
    cancelWatch.start(100);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    const QString errorText = reply->errorString();
    const bool timedOut = reply->error() == QNetworkReply::OperationCanceledError;
    delete reply;
    if (status >= 200 && status < 300) {
        *answer = QStringLiteral("HTTP %1").arg(status);
        return QString();
    }
    if (status > 0)
        return QStringLiteral("HTTP %1 %2").arg(status).arg(reason).trimmed();
    return timedOut ? QStringLiteral("no answer within %1 seconds").arg(timeoutMs / 1000) : errorText;
}

} // namespace

Delivery postWebhook(const QString &url, const QByteArray &json, const DeliveryPolicy &policy)
{
    Delivery delivery;
    const QUrl target(url.trimmed(), QUrl::StrictMode);
    const QString scheme = target.scheme().toLower();
    if (!target.isValid() || target.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        delivery.detail = QStringLiteral("not an http or https URL");
        return delivery;
    }
    QNetworkAccessManager manager;
    for (int attempt = 0; attempt <= policy.retries; ++attempt) {
        if (attempt > 0 && !policy.pauseBefore(attempt))
            break;
        ++delivery.attempts;
        QString answer;
        const QString failure = postOnce(manager, target, json, policy, &answer);
        if (failure.isEmpty()) {
            delivery.delivered = true;
            delivery.detail = answer;
            return delivery;
        }
        delivery.detail = failure;
    }
    return delivery;
}
