#pragma once

#include <QString>

// How the history recognises a site across runs.
//
// A Main Site or a Linking Site entry by its URL: the scheme and a leading
// "www." left out (the scan itself treats them as one site), the host in
// lower case, trailing slashes left out; the path keeps its case, since
// "/~Bob/" and "/~bob/" may well be two pages.
inline QString historyUrlKey(const QString &url)
{
    QString key = url.trimmed();
    for (const QLatin1String scheme : {QLatin1String("http://"), QLatin1String("https://")}) {
        if (key.startsWith(scheme, Qt::CaseInsensitive)) {
            key.remove(0, scheme.size());
            break;
        }
    }
    qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0)
        slash = key.size();
    key = key.left(slash).toLower() + key.mid(slash);
    if (key.size() > 4 && key.startsWith(QLatin1String("www.")))
        key.remove(0, 4);
    while (key.endsWith(QLatin1Char('/')))
        key.chop(1);
    return key;
}

inline QString historyMainKey(const QString &mainSite)
{
    return historyUrlKey(mainSite);
}

// A host as the rows carry it: letter case and a leading "www." ignored.
// Older versions of the program kept one record per Main Site and host.
inline QString historyHostKey(const QString &host)
{
    QString key = host.toLower();
    if (key.length() > 4 && key.startsWith(QLatin1String("www.")))
        key.remove(0, 4);
    return key;
}
