#pragma once

#include "model/ProjectTypes.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QTcpServer>

#include <functional>
#include <memory>

class QTcpSocket;

// Many Linking Sites on loopback for the multi-site scan tests. Every host
// is its own loopback address (127.0.0.N, all of them loopback on Linux) and
// all listen on one port, so the scanner reaches them with --port alone.
// Each connection gets one answer and is closed, after a random delay that
// shuffles which site finishes first; a silent page keeps the connection open
// without a byte, so only the idle time-out ends it.
class SiteFarmServer : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        QByteArray statusLine = "HTTP/1.0 200 OK";
        QByteArray extraHeaders; // each ending in CR LF
        QByteArray body;
        bool silent = false;
        int delayMs = -1;        // the answer's own delay; -1 a random one
    };

    // What generate() built: the project's Main Sites and Linking Sites
    // (scheme-less, as typed in the window), and its rules.
    struct Layout
    {
        QList<MainSite> mainSites;
        QList<Rule> rules;
    };

    // hostCount loopback addresses 127.0.0.1 .. 127.0.0.hostCount.
    explicit SiteFarmServer(int hostCount, QObject *parent = nullptr);
    ~SiteFarmServer() override;

    bool isListening() const { return !m_servers.isEmpty(); }
    // Every host also answers over TLS, on a port of its own shared by all,
    // with this certificate (the scans accept it with IgnoreCertificateErrors).
    bool enableTls(const QString &certificateFile, const QString &keyFile);
    quint16 tlsPort() const { return m_tlsPort; }
    QString failure() const { return m_failure; }
    quint16 port() const { return m_port; }
    static QString hostName(int host) { return QStringLiteral("127.0.0.%1").arg(host + 1); }

    void setPage(int host, const QByteArray &path, const Answer &answer);
    // What the host answers over TLS where it differs from its plain answer.
    void setSecurePage(int host, const QByteArray &path, const Answer &answer);
    // The random delays of one host go up to this instead.
    void setHostDelay(int host, int maxMs) { m_hostDelays.insert(hostName(host), maxMs); }
    void setDelayRange(int maxMs) { m_maxDelayMs = maxMs; }
    // The most requests one host had waiting for their answers at the same
    // time, since the last reset: a polite scanner keeps it small.
    // A request the scanner gave up on (its site ended meanwhile) is left out:
    // the farm may learn of its close only after the next request arrived.
    int mostAtOnceOnOneHost() const;
    // Requests answered or given up since the last reset.
    int requestCount() const { return int(m_requests.size()); }
    void resetCounts();

    // Fills the farm with the sites of one seed and says how they make a project.
    // The random farms use the first five hosts. A wide farm (for the
    // benchmark that compares thousands of them) uses eight and adds sites
    // typed with https and moved there (when TLS is on), redirect pages to
    // other hosts, a host that refuses, a slow host, a slow robots.txt and
    // odd numbers of links expected.
    Layout generate(quint32 seed, bool wide = false);
    // Two sites where the first's URL update decides what the second may
    // fetch: host 12's site replaces its URL with its link page, and the site
    // typed as "127.0.0.1" (no slash: every "127.0.0.1x" page is its own)
    // links there. Scanned one at a time, that page is seen and not fetched.
    Layout seenThroughAnUpdatedUrl();

private:
    QList<QTcpServer *> listenOnAllHosts(const std::function<QTcpServer *()> &make, quint16 *port);
    void onNewConnection(QTcpServer *server);
    void onSocket(QTcpSocket *socket);
    Answer answerFor(QTcpSocket *socket) const;
    void answer(QTcpSocket *socket);

    QList<QTcpServer *> m_servers;
    QList<QTcpServer *> m_tlsServers;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    QHash<QByteArray, Answer> m_securePages; // "127.0.0.N/path"
    QHash<QString, int> m_hostDelays;
    QString m_failure;
    int m_hostCount = 0;
    QHash<QByteArray, Answer> m_pages; // "127.0.0.N/path"
    QRandomGenerator m_delays{1};
    int m_maxDelayMs = 30;
    struct Request
    {
        QString host;
        int begin = 0, end = -1;  // in the farm's event count; -1 while waiting
        bool givenUp = false;
    };
    QList<Request> m_requests;
    int m_events = 0;
};
