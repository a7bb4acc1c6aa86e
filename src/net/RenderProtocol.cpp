#include "net/RenderProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QDir>
#include <QUrl>

namespace RenderProtocol {

bool parseLine(const QByteArray &line, QJsonObject *message, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = QStringLiteral("not JSON: %1").arg(parseError.errorString());
        return false;
    }
    if (!doc.isObject()) {
        *error = QStringLiteral("not a JSON object");
        return false;
    }
    *message = doc.object();
    return true;
}

QByteArray toLine(const QJsonObject &message)
{
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

QJsonObject hello(const QString &programVersion, int maxPages)
{
    return {{"type", "hello"},
            {"protocol", kVersion},
            {"program", "reciplex-render"},
            {"version", programVersion},
            {"maxPages", maxPages}};
}

QJsonObject renderMessage(quint64 id, const RenderRequest &request)
{
    QJsonObject m{{"type", "render"},
                  {"id", double(id)},
                  {"url", request.url},
                  {"timeoutMs", request.timeoutMs},
                  {"javaScript", request.javaScript},
                  {"userAgent", request.userAgent},
                  {"ignoreCertificateErrors", request.ignoreCertificateErrors}};
    if (!request.proofPath.isEmpty())
        m.insert("proof", QJsonObject{{"path", request.proofPath},
                                      {"targets", QJsonArray::fromStringList(request.proofTargets)}});
    return m;
}

QJsonObject cancelMessage(quint64 id)
{
    return {{"type", "cancel"}, {"id", double(id)}};
}

QJsonObject errorMessage(const QString &reason)
{
    return {{"type", "error"}, {"reason", reason}};
}

QJsonObject resultMessage(quint64 id, const RenderResult &result)
{
    QJsonObject m{{"type", "result"}, {"id", double(id)}, {"ok", result.ok}, {"elapsedMs", double(result.elapsedMs)}};
    if (!result.ok) {
        m.insert("reason", result.reason);
        return m;
    }
    QJsonArray anchors;
    for (const RenderedAnchor &a : result.anchors)
        anchors.append(QJsonObject{{"tag", a.tag},
                                   {"href", a.href},
                                   {"text", a.text},
                                   {"rel", a.rel},
                                   {"x", a.box.x()},
                                   {"y", a.box.y()},
                                   {"width", a.box.width()},
                                   {"height", a.box.height()},
                                   {"visible", a.visible}});
    m.insert("url", result.url);
    m.insert("title", result.title);
    m.insert("settled", result.settled);
    m.insert("anchorsInDocument", result.anchorsInDocument);
    m.insert("anchors", anchors);
    if (!result.proofPath.isEmpty() || !result.proofProblem.isEmpty())
        m.insert("proof", QJsonObject{{"path", result.proofPath.isEmpty() ? QJsonValue() : QJsonValue(result.proofPath)},
                                      {"outlined", result.proofOutlined},
                                      {"problem", result.proofProblem}});
    return m;
}

static bool readId(const QJsonObject &message, quint64 *id)
{
    const QJsonValue v = message.value("id");
    if (!v.isDouble() || v.toDouble() < 0 || v.toDouble() > 9007199254740991.0 || v.toDouble() != qint64(v.toDouble()))
        return false;
    *id = quint64(v.toDouble());
    return true;
}

bool readRender(const QJsonObject &message, quint64 *id, RenderRequest *request, QString *error)
{
    if (!readId(message, id)) {
        *error = QStringLiteral("a render message needs a whole number \"id\"");
        return false;
    }
    RenderRequest r;
    r.url = message.value("url").toString();
    const QUrl url(r.url, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty()) {
        *error = QStringLiteral("only absolute http and https URLs are rendered: \"%1\"").arg(r.url.left(200));
        return false;
    }
    const QJsonValue timeout = message.value("timeoutMs");
    if (!timeout.isDouble() || timeout.toDouble() < kMinTimeoutMs || timeout.toDouble() > kMaxTimeoutMs) {
        *error = QStringLiteral("\"timeoutMs\" must be from %1 to %2").arg(kMinTimeoutMs).arg(kMaxTimeoutMs);
        return false;
    }
    r.timeoutMs = timeout.toInt();
    r.javaScript = message.value("javaScript").toBool(true);
    r.userAgent = message.value("userAgent").toString();
    r.ignoreCertificateErrors = message.value("ignoreCertificateErrors").toBool(false);
    const QJsonObject proof = message.value("proof").toObject();
    r.proofPath = proof.value("path").toString();
    for (const QJsonValue &t : proof.value("targets").toArray())
        if (!t.toString().trimmed().isEmpty())
            r.proofTargets << t.toString().trimmed();
    if (!r.proofPath.isEmpty() && !QDir::isAbsolutePath(r.proofPath)) {
        *error = QStringLiteral("the proof path must be absolute");
        return false;
    }
    *request = r;
    return true;
}

RenderResult readResult(const QJsonObject &message)
{
    RenderResult r;
    r.ok = message.value("ok").toBool(false);
    r.elapsedMs = qint64(message.value("elapsedMs").toDouble());
    if (!r.ok) {
        r.reason = message.value("reason").toString();
        if (r.reason.isEmpty())
            r.reason = QStringLiteral("the renderer gave no reason");
        return r;
    }
    r.url = message.value("url").toString();
    r.title = message.value("title").toString();
    r.settled = message.value("settled").toBool();
    r.anchorsInDocument = message.value("anchorsInDocument").toInt();
    for (const QJsonValue &v : message.value("anchors").toArray()) {
        const QJsonObject a = v.toObject();
        RenderedAnchor anchor;
        anchor.tag = a.value("tag").toString();
        anchor.href = a.value("href").toString();
        anchor.text = a.value("text").toString();
        anchor.rel = a.value("rel").toString();
        anchor.box = QRectF(a.value("x").toDouble(), a.value("y").toDouble(), a.value("width").toDouble(),
                            a.value("height").toDouble());
        anchor.visible = a.value("visible").toBool();
        r.anchors.append(anchor);
    }
    const QJsonObject proof = message.value("proof").toObject();
    r.proofPath = proof.value("path").toString();
    r.proofOutlined = proof.value("outlined").toInt();
    r.proofProblem = proof.value("problem").toString();
    return r;
}

} // namespace RenderProtocol
