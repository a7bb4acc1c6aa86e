#include "net/HttpHeaders.h"

#include <QList>
#include <QLocale>
#include <QTimeZone>

namespace HttpHeaders {

QByteArray value(const QByteArray &head, const QByteArray &name)
{
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

bool has(const QByteArray &head, const QByteArray &name)
{
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon > 0 && lines.at(i).left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

int statusCode(const QByteArray &head)
{
    const qsizetype lineEnd = head.indexOf('\n');
    const QList<QByteArray> words = (lineEnd < 0 ? head : head.left(lineEnd)).simplified().split(' ');
    if (words.size() < 2 || !words.at(0).startsWith("HTTP/"))
        return 0;
    bool ok = false;
    const int code = words.at(1).toInt(&ok);
    return ok && code >= 100 && code <= 999 ? code : 0;
}

qint64 retryAfterMs(const QByteArray &head, const QDateTime &now)
{
    const QByteArray text = value(head, "Retry-After");
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const qint64 seconds = text.toLongLong(&ok);
    if (ok)
        return seconds < 0 ? -1 : qMin<qint64>(seconds, 1LL << 31) * 1000;
    const QDateTime when = date(text);
    return when.isValid() ? qMax<qint64>(0, now.msecsTo(when)) : -1;
}

QDateTime date(const QByteArray &text)
{
    // The three forms HTTP allows (only the first is sent today), and the
    // dashed forms servers still send in a cookie's Expires.
    static const char *const forms[] = {"ddd, dd MMM yyyy HH:mm:ss 'GMT'", "ddd, dd-MMM-yyyy HH:mm:ss 'GMT'",
                                        "dddd, dd-MMM-yy HH:mm:ss 'GMT'", "ddd, dd-MMM-yy HH:mm:ss 'GMT'",
                                        "ddd MMM d HH:mm:ss yyyy"};
    const QString simplified = QString::fromLatin1(text).simplified();
    for (const char *form : forms) {
        QDateTime when = QLocale::c().toDateTime(simplified, QLatin1String(form));
        if (!when.isValid())
            continue;
        when.setTimeSpec(Qt::UTC);
        if (when.date().year() < 1970)
            when = when.addYears(100);
        return when;
    }
    return QDateTime();
}

} // namespace HttpHeaders
