#include "net/CookieJar.h"

#include "net/HttpHeaders.h"

#include <QHostAddress>

#include <algorithm>

namespace {

bool domainMatches(const QString &host, const QString &domain)
{
    if (host == domain)
        return true;
    return host.endsWith(domain) && host.at(host.size() - domain.size() - 1) == QLatin1Char('.')
        && QHostAddress(host).isNull();
}

// RFC 6265 5.1.4: the path of the request up to its last "/", or "/".
QString defaultPath(const QString &requestPath)
{
    QString path = requestPath.left(requestPath.indexOf(QLatin1Char('?')));
    if (!path.startsWith(QLatin1Char('/')))
        return QStringLiteral("/");
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool pathMatches(const QString &requestPath, const QString &cookiePath)
{
    const QString path = requestPath.left(requestPath.indexOf(QLatin1Char('?')));
    if (path == cookiePath)
        return true;
    return path.startsWith(cookiePath)
        && (cookiePath.endsWith(QLatin1Char('/')) || path.at(cookiePath.size()) == QLatin1Char('/'));
}

} // namespace

void CookieJar::take(const QByteArray &head, const QString &host, const QString &path, bool secure,
                     const QDateTime &now)
{
    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("set-cookie", Qt::CaseInsensitive) == 0)
            store(line.mid(colon + 1).trimmed(), host.toLower(), path, secure, now);
    }
}

void CookieJar::store(const QByteArray &line, const QString &host, const QString &path, bool secure,
                      const QDateTime &now)
{
    const QList<QByteArray> parts = line.split(';');
    const QByteArray pair = parts.first();
    const qsizetype eq = pair.indexOf('=');
    if (eq <= 0)
        return; // a cookie without a name is left out
    Cookie c;
    c.name = pair.left(eq).trimmed();
    c.value = pair.mid(eq + 1).trimmed();
    if (c.name.isEmpty() || c.name.size() + c.value.size() > kLongestCookie)
        return;
    for (const char ch : c.name + c.value) {
        if (uchar(ch) < 0x20 || ch == 0x7f)
            return;
    }
    c.domain = host;
    c.path = defaultPath(path);
    bool maxAgeSeen = false;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray attribute = parts.at(i).trimmed();
        const qsizetype at = attribute.indexOf('=');
        const QByteArray name = (at < 0 ? attribute : attribute.left(at)).trimmed().toLower();
        const QByteArray value = at < 0 ? QByteArray() : attribute.mid(at + 1).trimmed();
        if (name == "max-age") {
            bool ok = false;
            const qint64 seconds = value.toLongLong(&ok);
            if (!ok)
                continue;
            maxAgeSeen = true;
            c.expires = seconds <= 0 ? now.addSecs(-1) : now.addSecs(qMin<qint64>(seconds, 400LL * 86400));
        } else if (name == "expires" && !maxAgeSeen) {
            const QDateTime when = HttpHeaders::date(value);
            if (when.isValid())
                c.expires = when;
        } else if (name == "domain" && !value.isEmpty()) {
            QString domain = QString::fromLatin1(value).toLower();
            if (domain.startsWith(QLatin1Char('.')))
                domain.remove(0, 1);
            // Another host's cookie, or one for a whole top-level domain, is refused.
            if (!domainMatches(host, domain) || !domain.contains(QLatin1Char('.')))
                return;
            c.domain = domain;
            c.hostOnly = false;
        } else if (name == "path") {
            c.path = value.startsWith('/') ? QString::fromLatin1(value) : defaultPath(path);
        } else if (name == "secure") {
            c.secure = true;
        }
    }
    if (c.secure && !secure)
        return; // a plain answer may not set a cookie kept for secure requests
    // The same name, domain and path replaces the cookie (an expired one deletes it).
    auto same = std::find_if(m_cookies.begin(), m_cookies.end(), [&c](const Cookie &o) {
        return o.name == c.name && o.domain == c.domain && o.path == c.path;
    });
    const bool expired = c.expires.isValid() && c.expires <= now;
    if (same != m_cookies.end()) {
        if (expired) {
            m_cookies.erase(same);
            return;
        }
        c.created = same->created;
        *same = c;
        return;
    }
    if (expired)
        return;
    dropExpired(now);
    const auto inDomain = std::count_if(m_cookies.cbegin(), m_cookies.cend(),
                                        [&c](const Cookie &o) { return o.domain == c.domain; });
    if (inDomain >= kMostPerDomain) {
        // The oldest of its domain makes room.
        m_cookies.erase(std::find_if(m_cookies.begin(), m_cookies.end(),
                                     [&c](const Cookie &o) { return o.domain == c.domain; }));
    } else if (m_cookies.size() >= kMost) {
        m_cookies.removeFirst();
    }
    c.created = ++m_created;
    m_cookies.append(c);
}

void CookieJar::dropExpired(const QDateTime &now)
{
    m_cookies.removeIf([&now](const Cookie &c) { return c.expires.isValid() && c.expires <= now; });
}

QByteArray CookieJar::header(const QString &host, const QString &path, bool secure, const QDateTime &now) const
{
    if (m_cookies.isEmpty())
        return QByteArray();
    const QString name = host.toLower();
    QList<const Cookie *> sent;
    for (const Cookie &c : m_cookies) {
        if ((c.hostOnly ? name != c.domain : !domainMatches(name, c.domain)) || !pathMatches(path, c.path)
            || (c.secure && !secure) || (c.expires.isValid() && c.expires <= now))
            continue;
        sent.append(&c);
    }
    // Longer paths first, then the older cookie (RFC 6265 5.4).
    std::stable_sort(sent.begin(), sent.end(), [](const Cookie *a, const Cookie *b) {
        if (a->path.size() != b->path.size())
            return a->path.size() > b->path.size();
        return a->created < b->created;
    });
    QByteArray line;
    for (const Cookie *c : sent) {
        if (!line.isEmpty())
            line += "; ";
        line += c->name + '=' + c->value;
    }
    return line;
}
