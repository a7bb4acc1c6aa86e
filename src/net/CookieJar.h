#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// The cookies of one scan (RFC 6265: domain, path, expiry, Secure), kept in
// memory and never written: a site that sets a cookie and sends the client
// back to itself (a consent page, a light bot check) gets its page on the
// next request. Bounded so a hostile server cannot fill the memory.
class CookieJar
{
public:
    static constexpr int kMostPerDomain = 50;
    static constexpr int kMost = 3000;
    static constexpr int kLongestCookie = 4096;

    // Takes the Set-Cookie lines of a response head to a request for host
    // (no port) and path (query allowed), over TLS or not.
    void take(const QByteArray &head, const QString &host, const QString &path, bool secure,
              const QDateTime &now = QDateTime::currentDateTimeUtc());
    // The value of the Cookie line for such a request; "" when none applies.
    QByteArray header(const QString &host, const QString &path, bool secure,
                      const QDateTime &now = QDateTime::currentDateTimeUtc()) const;
    void clear() { m_cookies.clear(); }
    int count() const { return int(m_cookies.size()); }

private:
    struct Cookie
    {
        QByteArray name;
        QByteArray value;
        QString domain;
        QString path;
        QDateTime expires; // invalid: until the scan ends
        bool hostOnly = true;
        bool secure = false;
        quint64 created = 0;
    };
    void store(const QByteArray &line, const QString &host, const QString &path, bool secure, const QDateTime &now);
    void dropExpired(const QDateTime &now);

    QList<Cookie> m_cookies;
    quint64 m_created = 0;
};
