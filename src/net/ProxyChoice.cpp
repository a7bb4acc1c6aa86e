#include "net/ProxyChoice.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QUrl>

QString ProxyRoute::key() const
{
    switch (kind) {
    case Kind::Direct:
        return QString();
    case Kind::Invalid:
        return QStringLiteral("invalid");
    case Kind::Http:
    case Kind::Socks5:
        break;
    }
    return (kind == Kind::Http ? QStringLiteral("http://") : QStringLiteral("socks5://")) + user + QLatin1Char('@')
        + host + QLatin1Char(':') + QString::number(port);
}

QByteArray ProxyRoute::authorizationLine() const
{
    if (user.isEmpty())
        return QByteArray();
    return "Proxy-Authorization: Basic " + (user + QLatin1Char(':') + password).toUtf8().toBase64() + "\r\n";
}

static QString environment(const char *lower, const char *upper)
{
    const QString value = qEnvironmentVariable(lower);
    return value.isEmpty() ? qEnvironmentVariable(upper) : value;
}

ProxyChoice ProxyChoice::fromSettings()
{
    const QString setting = SettingsStore::instance().read(Keys::Proxy, kDefaultProxy);
    return fromText(setting, environment("http_proxy", "HTTP_PROXY"), environment("https_proxy", "HTTPS_PROXY"),
                    environment("no_proxy", "NO_PROXY"));
}

ProxyChoice ProxyChoice::fromText(const QString &setting, const QString &httpProxy, const QString &httpsProxy,
                                  const QString &noProxy)
{
    ProxyChoice choice;
    const QString text = setting.trimmed();
    if (text.isEmpty() || text.compare(QLatin1String("system"), Qt::CaseInsensitive) == 0) {
        choice.m_system = true;
        // An environment value without a scheme is an HTTP proxy, as other tools read it.
        auto fromEnvironment = [](const QString &value) {
            const QString v = value.trimmed();
            if (v.isEmpty())
                return ProxyRoute();
            return parse(v.contains(QLatin1String("://")) ? v : QStringLiteral("http://") + v);
        };
        choice.m_plain = fromEnvironment(httpProxy);
        choice.m_secure = fromEnvironment(httpsProxy);
        for (const QString &entry : noProxy.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts))
            choice.m_noProxy.append(entry.toLower());
        return choice;
    }
    if (text.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0)
        return choice;
    choice.m_plain = choice.m_secure = parse(text);
    return choice;
}

ProxyRoute ProxyChoice::parse(const QString &text)
{
    ProxyRoute route;
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http"))
        route.kind = ProxyRoute::Kind::Http;
    else if (scheme == QLatin1String("socks5") || scheme == QLatin1String("socks5h"))
        route.kind = ProxyRoute::Kind::Socks5;
    if (!url.isValid() || url.host().isEmpty() || route.kind == ProxyRoute::Kind::Direct) {
        route.kind = ProxyRoute::Kind::Invalid;
        route.setting = text;
        return route;
    }
    route.host = url.host(QUrl::FullyEncoded);
    route.port = quint16(url.port(1080));
    route.user = url.userName(QUrl::FullyDecoded);
    route.password = url.password(QUrl::FullyDecoded);
    return route;
}

// no_proxy as the common tools read it: "*" for all, a name for itself and
// its subdomains (a leading dot or "*." changes nothing), an optional
// ":port", an address, or an address range.
bool ProxyChoice::bypasses(const QString &host, quint16 port) const
{
    const QString name = host.toLower();
    const QHostAddress address(name);
    for (QString entry : m_noProxy) {
        if (entry == QLatin1String("*"))
            return true;
        if (entry.contains(QLatin1Char('/'))) {
            if (!address.isNull() && address.isInSubnet(QHostAddress::parseSubnet(entry)))
                return true;
            continue;
        }
        const qsizetype colon = entry.lastIndexOf(QLatin1Char(':'));
        if (colon > 0 && !entry.contains(QLatin1Char(']')) && entry.count(QLatin1Char(':')) == 1) {
            if (entry.mid(colon + 1).toUInt() != port)
                continue;
            entry.truncate(colon);
        }
        if (entry.startsWith(QLatin1String("[")) && entry.endsWith(QLatin1String("]")))
            entry = entry.mid(1, entry.size() - 2);
        if (entry.startsWith(QLatin1String("*.")))
            entry.remove(0, 1);
        if (entry.startsWith(QLatin1Char('.')))
            entry.remove(0, 1);
        if (entry.isEmpty())
            continue;
        if (name == entry || (name.endsWith(entry) && name.at(name.size() - entry.size() - 1) == QLatin1Char('.')))
            return true;
    }
    return false;
}

ProxyRoute ProxyChoice::route(const QString &host, quint16 port, bool secure) const
{
    const ProxyRoute &route = secure ? m_secure : m_plain;
    if (route.isDirect() || (m_system && bypasses(host, port)))
        return ProxyRoute();
    return route;
}

QNetworkProxy ProxyChoice::qtProxy(const QString &host, quint16 port, bool secure, const QByteArray &userAgent) const
{
    const ProxyRoute r = route(host, port, secure);
    switch (r.kind) {
    case ProxyRoute::Kind::Direct:
        return QNetworkProxy(QNetworkProxy::NoProxy);
    case ProxyRoute::Kind::Invalid:
        // Nowhere: a download that cannot go as the setting says does not go round it.
        return QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("invalid."), 1);
    case ProxyRoute::Kind::Http: {
        QNetworkProxy proxy(QNetworkProxy::HttpProxy, r.host, r.port, r.user, r.password);
        if (!userAgent.isEmpty())
            proxy.setRawHeader("User-Agent", userAgent);
        return proxy;
    }
    case ProxyRoute::Kind::Socks5:
        return QNetworkProxy(QNetworkProxy::Socks5Proxy, r.host, r.port, r.user, r.password);
    }
    return QNetworkProxy(QNetworkProxy::NoProxy);
}
