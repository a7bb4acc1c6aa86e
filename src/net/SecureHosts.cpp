#include "net/SecureHosts.h"

#include <QList>

#include "net/HostName.h"

static QString hostKey(const QString &host)
{
    return asciiHost(host).toLower();
}

void SecureHosts::markSecure(const QString &host)
{
    if (host.isEmpty())
        return;
    const QString key = hostKey(host);
    m_hosts.insert(key);
    if (m_recordAnswers)
        m_learned.insert(key);
}

bool SecureHosts::isSecure(const QString &host) const
{
    if (m_recordAnswers) {
        const QString key = hostKey(host);
        const bool secure = m_hosts.contains(key);
        if (!m_learned.contains(key))
            m_answers.insert(key, secure);
        return secure;
    }
    return !m_hosts.isEmpty() && m_hosts.contains(hostKey(host));
}

bool SecureHosts::answersHoldIn(const SecureHosts &committed) const
{
    for (auto it = m_answers.cbegin(); it != m_answers.cend(); ++it) {
        if (committed.m_hosts.contains(it.key()) != it.value())
            return false;
    }
    return true;
}

QString wwwTwin(const QString &host)
{
    if (host.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return host.mid(4);
    return QStringLiteral("www.") + host;
}

// The value of the head's first Location line, trimmed.
static QByteArray locationOf(const QByteArray &head)
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon >= 0 && line.left(colon).trimmed().compare("location", Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

bool secureRedirect(const QByteArray &head, const QString &host, SecureRedirect *target)
{
    static const QStringList redirects = {QStringLiteral("301"), QStringLiteral("302"), QStringLiteral("303"),
                                          QStringLiteral("307"), QStringLiteral("308")};
    const qsizetype firstLineEnd = head.indexOf('\n');
    const QList<QByteArray> statusWords = (firstLineEnd < 0 ? head : head.left(firstLineEnd)).simplified().split(' ');
    if (!redirects.contains(QString::fromLatin1(statusWords.value(1))))
        return false;
    const QByteArray location = locationOf(head);
    if (location.left(8).toLower() != "https://")
        return false;
    const QByteArray rest = location.mid(8);
    qsizetype authorityEnd = rest.size();
    for (const char stop : {'/', '?', '#'}) {
        const qsizetype at = rest.indexOf(stop);
        if (at >= 0 && at < authorityEnd)
            authorityEnd = at;
    }
    QByteArray authority = rest.left(authorityEnd);
    if (authority.contains('@'))
        return false; // credentials: not the page of a partner
    if (authority.endsWith(":443"))
        authority.chop(4);
    if (authority.contains(':') || authority.isEmpty())
        return false; // another port than the default
    const QString named = QString::fromLatin1(authority);
    const QString asked = hostKey(host);
    const QString namedKey = hostKey(named);
    if (namedKey != asked && namedKey != hostKey(wwwTwin(host)))
        return false;
    QString path = QString::fromLatin1(rest.mid(authorityEnd));
    const qsizetype fragment = path.indexOf(QLatin1Char('#'));
    if (fragment >= 0)
        path.truncate(fragment);
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    target->host = named;
    target->path = path;
    return true;
}
