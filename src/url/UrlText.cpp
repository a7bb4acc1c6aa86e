#include "url/UrlText.h"

#include "url/TextMatch.h"

#include <vector>

namespace {
const QString kHttp = QStringLiteral("http://");
const QString kHttps = QStringLiteral("https://");

// Each leading ".." goes one directory up: while the text begins with "..",
// the directory becomes its parent, the first three characters go and every
// "/." becomes ".". Done literally that costs the whole text per step, which a
// page of "../../../…" turns into hours; this gives the same result in one pass.
//
// A "/." replacement deletes each "/" directly before a "."; repeated, it eats
// one more "/" per pass from a run of "/" that ends at a ".". So after j passes
// the "/" at x is gone when its run ends at a "." no more than j places on.
} // namespace

void climbParentSteps(QString &t, QString &dir)
{
    const qsizetype n = t.size();
    std::vector<qsizetype> runDot(size_t(n), -1); // for a "/": the "." its run ends at
    for (qsizetype x = n - 2; x >= 0; --x) {
        if (t.at(x) != QLatin1Char('/'))
            continue;
        const QChar next = t.at(x + 1);
        if (next == QLatin1Char('.'))
            runDot[size_t(x)] = x + 1;
        else if (next == QLatin1Char('/'))
            runDot[size_t(x)] = runDot[size_t(x + 1)];
    }
    qsizetype passes = 0;
    auto present = [&](qsizetype x) {
        const qsizetype dot = runDot[size_t(x)];
        return dot < 0 || dot - x > passes;
    };
    auto nextPresent = [&](qsizetype x) {
        while (x < n && !present(x))
            ++x;
        return x;
    };

    qsizetype start = nextPresent(0);
    bool dirSettled = false;
    for (;;) {
        const qsizetype second = start < n ? nextPresent(start + 1) : n;
        if (second >= n || t.at(start) != QLatin1Char('.') || t.at(second) != QLatin1Char('.'))
            break;
        if (!dirSettled) {
            const QString up = backDir(dir);
            dirSettled = up == dir; // the top: further steps change nothing
            dir = up;
        }
        // The first three characters go, then one more pass.
        qsizetype x = second;
        x = nextPresent(x + 1);
        start = x < n ? x + 1 : n;
        ++passes;
        start = nextPresent(start);
    }
    QString rest;
    rest.reserve(n - start);
    for (qsizetype x = start; x < n; ++x)
        if (present(x))
            rest += t.at(x);
    t = rest;
}

// A value cut one character short by the anchor extraction gets its extension
// back; stray attribute names go. The end is always tested in any case.
void repairLinkEnding(QString &t, Qt::CaseSensitivity htPhReplacement)
{
    if (t.length() <= 6)
        return;
    if (t.endsWith(QLatin1String(".as"), Qt::CaseInsensitive))
        t.replace(QLatin1String(".as"), QLatin1String(".asp"), Qt::CaseInsensitive);
    if (t.endsWith(QLatin1String(".ht"), Qt::CaseInsensitive))
        t.replace(QLatin1String(".ht"), QLatin1String(".htm"), htPhReplacement);
    if (t.endsWith(QLatin1String(".ph"), Qt::CaseInsensitive))
        t.replace(QLatin1String(".ph"), QLatin1String(".php"), htPhReplacement);
    if (t.endsWith(QLatin1String("/hre"), Qt::CaseInsensitive))
        t.chop(4);
    if (t.endsWith(QLatin1String("/href"), Qt::CaseInsensitive))
        t.chop(5);
    if (t.endsWith(QLatin1String("/http:"), Qt::CaseInsensitive))
        t.chop(6);
    if (t.endsWith(QLatin1String("/http"), Qt::CaseInsensitive))
        t.chop(5);
}

bool hasDomainMarker(const QString &t)
{
    static const char *const markers[] = {".com", "www.", ".net", ".edu", ".gov", "ww2."};
    for (const char *m : markers)
        if (t.contains(QLatin1String(m), Qt::CaseInsensitive))
            return true;
    return false;
}

QString stripSchemes(const QString &text)
{
    QString t = text;
    t.remove(kHttp, Qt::CaseInsensitive);
    t.remove(kHttps, Qt::CaseInsensitive);
    return t;
}

QString normaliseMainSite(QString &text)
{
    if (text.contains(kHttp, Qt::CaseInsensitive))
        text.remove(kHttp, Qt::CaseInsensitive);
    if (text.contains(kHttps, Qt::CaseInsensitive))
        text.remove(kHttps, Qt::CaseInsensitive);
    if (text.length() > 4 && text.left(4).toLower() == QLatin1String("www."))
        text.remove(0, 4);
    return text;
}

QString hostOf(QString &text)
{
    text = stripSchemes(text);
    if (text.length() > 4 && text.startsWith(QLatin1String("www.")))
        text.remove(0, 4);
    const int slash = text.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        text.truncate(slash);
    return text;
}

QString hostOfCopy(QString text)
{
    return hostOf(text);
}

QString backDir(const QString &text)
{
    QString t = text;
    const bool hadHttp = t.contains(kHttp, Qt::CaseInsensitive);
    if (hadHttp)
        t.remove(kHttp, Qt::CaseSensitive);
    const bool hadHttps = t.contains(kHttps, Qt::CaseInsensitive);
    if (hadHttps)
        t.remove(kHttps, Qt::CaseSensitive);
    if (t.endsWith(QLatin1Char('/')))
        t.chop(1);
    const QString stem = t;
    const int last = stem.lastIndexOf(QLatin1Char('/'));
    QString shortened = last >= 0 ? stem.left(last + 1) : QString();
    if (hadHttp)
        shortened.prepend(kHttp);
    if (hadHttps)
        shortened.prepend(kHttps);
    if (shortened.isEmpty() || shortened == kHttp || shortened == kHttps)
        return stem + QLatin1Char('/');
    return shortened;
}

RequestTarget splitRequestTarget(const QString &entry)
{
    RequestTarget r;
    QString u = entry;
    bool trailingDir = false;
    if (u.endsWith(QLatin1Char('/'))) {
        trailingDir = u.count(QLatin1Char('/')) >= 2;
        u.chop(1);
    }
    r.strURL = stripSchemes(u);
    r.strCurUrl = r.strURL;
    r.strCurDir = r.strURL;

    const int lastSlash = r.strCurDir.lastIndexOf(QLatin1Char('/'));
    if (lastSlash >= 0) {
        const QString segment = r.strCurDir.mid(lastSlash);
        if (!segment.contains(QLatin1Char('.')) && segment != QLatin1String("/"))
            r.strCurDir += QLatin1Char('/');
    }
    if (!r.strCurDir.endsWith(QLatin1Char('/')))
        r.strCurDir = backDir(r.strCurDir);

    const int firstSlash = r.strCurUrl.indexOf(QLatin1Char('/'));
    const QString hostWithSlash = firstSlash >= 0 ? r.strCurUrl.left(firstSlash + 1) : QString();
    if (hostWithSlash.isEmpty()) {
        r.host = r.strCurUrl;
        r.path = QStringLiteral("/");
    } else {
        r.path = r.strURL;
        r.path.remove(hostWithSlash, Qt::CaseSensitive);
        if (trailingDir)
            r.path += QLatin1Char('/');
        r.host = hostWithSlash;
    }
    r.host.remove(QLatin1Char('/'));
    if (r.path.isEmpty())
        r.path = QStringLiteral("/");
    else if (!r.path.startsWith(QLatin1Char('/')))
        r.path.prepend(QLatin1Char('/'));
    return r;
}

QString resolvePageLink(QString &target, const QString &host, const QString &curDir)
{
    QString t = target;
    bool absolute = false;
    if (t.contains(kHttp, Qt::CaseInsensitive)) {
        t.remove(kHttp, Qt::CaseInsensitive);
        absolute = true;
    }
    if (t.contains(kHttps, Qt::CaseInsensitive))
        t.remove(kHttps, Qt::CaseInsensitive);

    if (t.startsWith(QLatin1Char('/'))) {
        t = host + t;
        t.replace(QLatin1String("//"), QLatin1String("/"));
    } else if (t.left(2).contains(QLatin1String(".."))) {
        QString dir = curDir;
        climbParentSteps(t, dir);
        t = dir + t;
    } else {
        if (t.left(2) == QLatin1String("./")) {
            t.remove(QLatin1String("./"));
            t = host + QLatin1Char('/') + t;
        }
        if (!absolute && !hasDomainMarker(t))
            t = curDir + QLatin1Char('/') + t;
    }
    if (!t.contains(QLatin1Char('/')))
        t += QLatin1Char('/');
    for (int i = 0; i < 4; ++i)
        t.replace(QLatin1String("//"), QLatin1String("/"));
    // A scanned page's link keeps the case of an ".HTML" elsewhere in it.
    repairLinkEnding(t, Qt::CaseSensitive);
    target = t;
    return t;
}

QString urlEncode(QString &text)
{
    const bool hadHttp = text.contains(kHttp, Qt::CaseInsensitive);
    if (hadHttp)
        text.remove(kHttp, Qt::CaseInsensitive);
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    out.reserve(text.size() * 3);
    for (const QChar ch : std::as_const(text)) {
        const ushort u = ch.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9')
            || u == '*' || u == '-' || u == '.' || u == '_') {
            out += ch;
        } else if (u == ' ') {
            out += QLatin1Char('+');
        } else {
            // The 8-bit code page is ISO-8859-1: characters beyond it are "?".
            const unsigned code = u < 256 ? u : '?';
            out += QLatin1Char('%');
            out += QLatin1Char(hex[(code >> 4) & 0xF]);
            out += QLatin1Char(hex[code & 0xF]);
        }
    }
    if (hadHttp)
        out.prepend(kHttp);
    return out;
}
