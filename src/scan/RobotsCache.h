#pragma once

#include "scan/LinkNotes.h"
#include "scan/RobotsTxt.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class FileFetch;
class HostScheduler;

// The robots.txt of every host a scan finds links on, read once per host and
// scan and shared by everything that scans at the same time: whoever asks
// first starts the download, all who ask wait for the same answer, so what a
// host's file says never depends on which site asked for it first.
//
// A file is read with the scan's user agent and within the scan's time-out;
// it is no page of the scan (no statistics, no errors list, no queue). An
// answer of 2xx gives the file's rules; a 4xx answer (or a redirect chain
// that ends elsewhere) says there is no file, which allows everything. A
// server error, or no answer in time, leaves the file unreachable: crawlers
// then assume everything is disallowed (RFC 9309); the scan blocks nothing
// on a guess and notes "robots.txt unreachable" instead.
class RobotsCache : public QObject
{
    Q_OBJECT
public:
    // The answer of a file read without the network (a fuzz run).
    struct Answer
    {
        int status = 0;
        QByteArray body;
    };
    using Fetch = std::function<Answer(const QString &url)>;

    explicit RobotsCache(QObject *parent = nullptr);
    ~RobotsCache() override;

    // Where the files are read: the scan's ports (80 and 443 unless a test
    // serves elsewhere) and its time-out in seconds.
    void setPorts(quint16 plain, quint16 tls);
    void setTimeOutSeconds(int seconds);
    // Every download takes its turn for its host here (a side connection).
    void setScheduler(HostScheduler *scheduler) { m_scheduler = scheduler; }
    // The scan's choice for certificates that fail verification.
    void setAcceptAnyCertificate(bool accept) { m_acceptAnyCertificate = accept; }
    // The user agent files are read with ("" sends none).
    void setUserAgent(const QString &agent) { m_userAgent = agent; }
    // Reads every file through this instead of the network; it answers at once.
    void setFetch(Fetch fetch) { m_fetch = std::move(fetch); }

    // A new scan: every file is forgotten, downloads under way end, and no
    // waiter is called any more.
    void clear();

    // The key of a host's file: its scheme and host.
    static QString key(const QString &host, bool secure);
    // Starts reading the host's file unless it is known or under way.
    QString request(const QString &host, bool secure);
    bool isKnown(const QString &key) const;
    // Whether the file lets all crawlers read the path; true while unknown.
    bool allows(const QString &key, const QString &pathAndQuery) const;
    // What the host's file means for a link on the page at the path:
    // BlockedByRobots, BlockedForGooglebot or RobotsUnreachable; None while
    // unknown.
    LinkNotes::Flags notes(const QString &key, const QString &pathAndQuery) const;
    // The reading an answer of that status gives (0: no answer at all).
    enum class Reading { Rules, NoFile, Unreachable };
    static Reading readingOf(int status);
    // Calls back once the file is known: always from the event loop, never
    // inside this call; not at all once the context is gone or the cache is
    // cleared. A key never requested is never known.
    void whenKnown(const QString &key, QObject *context, std::function<void()> callback);

    // The URL a host's file is read from.
    QString fileUrl(const QString &host, bool secure) const;

private:
    struct Waiter
    {
        QPointer<QObject> context;
        std::function<void()> callback;
    };
    struct Entry
    {
        bool known = false;
        Reading reading = Reading::NoFile;
        RobotsTxt rules;
        FileFetch *download = nullptr;
        quint64 ticket = 0; // the host's side connection, held or waited for
        QList<Waiter> waiters;
    };
    void settle(const QString &key, int status, const QByteArray &body);
    void deliver(const Waiter &waiter);
    void startDownload(const QString &key, const QString &url);
    void releaseTicket(Entry &entry);

    QHash<QString, Entry> m_entries;
    quint16 m_plainPort = 80;
    quint16 m_tlsPort = 443;
    int m_timeOutSeconds = 60;
    quint64 m_epoch = 0; // changes with every clear
    Fetch m_fetch;
    HostScheduler *m_scheduler = nullptr;
    bool m_acceptAnyCertificate = false;
    QString m_userAgent;
};
