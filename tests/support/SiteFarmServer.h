#pragma once

#include "model/ProjectTypes.h"

#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QTcpServer>

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
    QString failure() const { return m_failure; }
    quint16 port() const { return m_port; }
    static QString hostName(int host) { return QStringLiteral("127.0.0.%1").arg(host + 1); }

    void setPage(int host, const QByteArray &path, const Answer &answer);
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
    // The random farms use the first five hosts.
    Layout generate(quint32 seed);
    // Two sites where the first's URL update decides what the second may
    // fetch: host 12's site replaces its URL with its link page, and the site
    // typed as "127.0.0.1" (no slash: every "127.0.0.1x" page is its own)
    // links there. Scanned one at a time, that page is seen and not fetched.
    Layout seenThroughAnUpdatedUrl();

private:
    void onNewConnection(QTcpServer *server);
    void answer(QTcpSocket *socket);

    QList<QTcpServer *> m_servers;
    quint16 m_port = 0;
    QString m_failure;
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
