#include "net/HttpStatus.h"

#include <QHash>

namespace HttpStatus {

QString statusCode(const QString &head)
{
    const int first = head.indexOf(QLatin1Char(' '));
    if (first < 0)
        return QString();
    const QString rest = head.mid(first + 1);
    const int second = rest.indexOf(QLatin1Char(' '));
    if (second < 0)
        return QString();
    // Only spaces are trimmed: a status line without a reason phrase reaches
    // into the next line and keeps its line break, so it matches no code.
    QString code = rest.left(second + 1);
    while (code.startsWith(QLatin1Char(' ')))
        code.remove(0, 1);
    while (code.endsWith(QLatin1Char(' ')))
        code.chop(1);
    return code;
}

QString errorText(const QString &code)
{
    static const QHash<QString, QString> table = {
        {QStringLiteral("400"), QStringLiteral("400 Bad request")},
        {QStringLiteral("401"), QStringLiteral("401 Unauthorized")},
        {QStringLiteral("402"), QStringLiteral("402 PaymentRequired")},
        {QStringLiteral("403"), QStringLiteral("403 Forbidden")},
        {QStringLiteral("404"), QStringLiteral("404 Not found")},
        {QStringLiteral("405"), QStringLiteral("405 Method Not Allowed")},
        {QStringLiteral("406"), QStringLiteral("406 Not Acceptable")},
        {QStringLiteral("407"), QStringLiteral("407 Proxy Authentication Required")},
        {QStringLiteral("408"), QStringLiteral("408 request timeout")},
        {QStringLiteral("409"), QStringLiteral("409 Conflict")},
        {QStringLiteral("410"), QStringLiteral("410 Gone")},
        {QStringLiteral("411"), QStringLiteral("411 Length Required")},
        {QStringLiteral("412"), QStringLiteral("412 Precondition Failed")},
        {QStringLiteral("413"), QStringLiteral("413 Request Entity Too Large")},
        {QStringLiteral("414"), QStringLiteral("414 Request-URI Too Long")},
        {QStringLiteral("415"), QStringLiteral("415 Unsupported Media Type")},
        {QStringLiteral("500"), QStringLiteral("500 Internal Error")},
        {QStringLiteral("501"), QStringLiteral("501 Not implemented")},
        {QStringLiteral("502"), QStringLiteral("502 Bad Gateway")},
        {QStringLiteral("503"), QStringLiteral("503 Service Unavailable")},
        {QStringLiteral("504"), QStringLiteral("504 Gateway timeout")},
        {QStringLiteral("505"), QStringLiteral("505 HTTP Not Version")},
    };
    return table.value(code);
}

QString errorForHead(const QString &head)
{
    const QString code = statusCode(head);
    if (code.isEmpty() || code == QLatin1String(" ") || code == QLatin1String("200"))
        return QString();
    return errorText(code);
}

} // namespace HttpStatus
