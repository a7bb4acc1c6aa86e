#pragma once

#include <QString>

// How the history recognises a Main Site and a Linking Site across runs:
// letter case ignored, and a leading "www." of a host ignored whatever its
// case, as the rest of the program compares sites.
inline QString historyMainKey(const QString &mainSite)
{
    return mainSite.toLower();
}

inline QString historyHostKey(const QString &host)
{
    QString key = host.toLower();
    if (key.length() > 4 && key.startsWith(QLatin1String("www.")))
        key.remove(0, 4);
    return key;
}
