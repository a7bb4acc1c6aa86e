#include "net/HostName.h"

#include <QUrl>

QString asciiHost(const QString &host)
{
    bool ascii = true;
    for (const QChar c : host)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return host;
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    const QString name = colon >= 0 ? host.left(colon) : host;
    const QByteArray ace = QUrl::toAce(name);
    if (ace.isEmpty())
        return host;
    return QString::fromLatin1(ace) + (colon >= 0 ? host.mid(colon) : QString());
}
