#include "ProofTargets.h"

namespace ProofTargets {

QString normalised(const QString &urlOrSite)
{
    QString s = urlOrSite.trimmed().toLower();
    for (const char *prefix : {"http://", "https://", "//"}) {
        if (s.startsWith(QLatin1String(prefix))) {
            s.remove(0, int(qstrlen(prefix)));
            break;
        }
    }
    if (s.startsWith(QLatin1String("www.")))
        s.remove(0, 4);
    return s;
}

bool matches(const QString &href, const QStringList &targets)
{
    const QString h = normalised(href);
    for (const QString &target : targets) {
        QString t = normalised(target);
        while (t.endsWith(QLatin1Char('/')))
            t.chop(1);
        if (t.isEmpty() || !h.startsWith(t))
            continue;
        if (h.size() == t.size() || QStringLiteral("/?#:").contains(h.at(t.size())))
            return true;
    }
    return false;
}

} // namespace ProofTargets
