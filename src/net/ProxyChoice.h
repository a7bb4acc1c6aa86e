#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QNetworkProxy;

// Where a request goes first: straight to its host, or through a proxy.
struct ProxyRoute
{
    enum class Kind { Direct, Http, Socks5, Invalid };
    Kind kind = Kind::Direct;
    QString host;
    quint16 port = 0;
    QString user;
    QString password;
    QString setting; // Invalid: the text that is no proxy

    bool isDirect() const { return kind == Kind::Direct; }
    // A key that tells routes apart, for connections that may be shared.
    QString key() const;
    // "Proxy-Authorization: Basic …\r\n" when the route has a user; "" otherwise.
    QByteArray authorizationLine() const;
};

// The Proxy setting read once for a scan (or a download): "system" takes the
// environment's http_proxy (plain pages), https_proxy (secure ones) and
// no_proxy (hosts, domains with their subdomains, "*", host:port, address
// ranges as 10.0.0.0/8); "none" goes direct; anything else is one proxy URL
// for every request: http://[user:password@]host[:port] or socks5:// (also
// socks5h://, names are always resolved by the proxy); the port defaults
// to 1080. Text that is none of these fails every request with its reason
// rather than going round the proxy.
class ProxyChoice
{
public:
    // From the Proxy setting and the process environment.
    static ProxyChoice fromSettings();
    // From a setting's text and environment values (tests).
    static ProxyChoice fromText(const QString &setting, const QString &httpProxy = QString(),
                                const QString &httpsProxy = QString(), const QString &noProxy = QString());

    ProxyRoute route(const QString &host, quint16 port, bool secure) const;
    // The same choice for Qt's network access (posting, import).
    QNetworkProxy qtProxy(const QString &host, quint16 port, bool secure, const QByteArray &userAgent) const;

private:
    static ProxyRoute parse(const QString &url);
    bool bypasses(const QString &host, quint16 port) const;

    bool m_system = false;
    ProxyRoute m_plain;  // for http://
    ProxyRoute m_secure; // for https://
    QStringList m_noProxy;
};
