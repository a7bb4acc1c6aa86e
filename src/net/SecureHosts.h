#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

// The hosts of a scan known to speak HTTPS: their pages are fetched over TLS.
// A host becomes known when a Linking Site URL begins with "https://", or when
// a plain request to it is answered with a redirect to the https URL of the
// same host or its "www." twin; it stays known for the rest of the scan.
// Hosts are compared in their ASCII form, ignoring case.
class SecureHosts
{
public:
    void clear()
    {
        m_hosts.clear();
        m_learned.clear();
        m_answers.clear();
    }
    void markSecure(const QString &host);
    bool isSecure(const QString &host) const;

    // A site scanned beside others starts from what the scan expected when
    // it started. It keeps what it was told about every host it did not
    // learn about itself, so that once the sites before it have committed,
    // the answers can be checked against what they taught the scan.
    void recordAnswers(bool on) { m_recordAnswers = on; }
    bool answersHoldIn(const SecureHosts &committed) const;
    void addAll(const SecureHosts &other) { m_hosts.unite(other.m_hosts); }

private:
    QSet<QString> m_hosts;
    QSet<QString> m_learned;  // marked since answers were recorded
    mutable QHash<QString, bool> m_answers;
    bool m_recordAnswers = false;
};

// Where a plain response sends its page over HTTPS: a 301, 302, 303, 307 or
// 308 whose Location is https on the requested host or its "www." twin, on
// the default port.
struct SecureRedirect
{
    QString host; // as the Location names it
    QString path; // begins with "/", query included
};

// The secure redirect of a response head (without its blank line) to a plain
// request for host and path; false when the head is no such redirect.
bool secureRedirect(const QByteArray &head, const QString &host, SecureRedirect *target);

// "www." + host, or the host without its leading "www.".
QString wwwTwin(const QString &host);
