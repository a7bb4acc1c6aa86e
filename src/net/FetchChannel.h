#pragma once

#include "net/HostScheduler.h"
#include "net/PageFetcher.h"
#include "net/WholePageDownload.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

// What the download of a whole URL brought.
struct DownloadResult
{
    QString body;          // "" when nothing came
    QByteArray head;       // of the last answer
    QUrl url;              // the URL that answered, after redirections
    bool looped = false;   // the redirections went round in a circle (or past their limit)
};
Q_DECLARE_METATYPE(DownloadResult)

// One Linking Site's way to the network: the page it waits for, with the
// idle count that lets the scan time out a silent server, and at most one
// page asked for ahead of its turn. Every request takes its turn at the
// host scheduler. Events carry the id fetch() returned, so an event still
// queued for an earlier page can be told apart.
class FetchChannel : public QObject
{
    Q_OBJECT
public:
    explicit FetchChannel(HostScheduler &scheduler, QObject *parent = nullptr);
    ~FetchChannel() override;

    // Starts a page; the one in flight is dropped. A page asked for ahead
    // with the same target serves it: its answer arrives as if fetched now.
    quint64 fetch(const PageRequest &request);
    // Asks for a page ahead of its turn, when the host has a lane free (the
    // side one, or the page lane while the page in flight came ahead on the
    // side one): kept unseen and uncounted until fetch() asks for the same target,
    // dropped when another page is asked for or the channel is cancelled.
    void fetchAhead(const PageRequest &request);
    // Downloads a whole URL in the page's place (the target of a redirect
    // page), redirections followed, within the limits; downloaded carries
    // its body ("" when nothing came). base gives the user agent and the
    // choice for certificates. It ends, as a page does, with cancel() or the
    // next fetch.
    quint64 download(const QString &url, const DownloadLimits &limits, const PageRequest &base);
    // Leaves the host alone for a while: the next page for it, this site's
    // or another's, waits (an answer of 429 Too Many Requests).
    void holdHost(const QString &host, int ms) { m_scheduler.hold(host, ms); }
    // Ends the page in flight (or its wait for the host); no event follows.
    void cancel();
    // The same, and the page ahead.
    void cancelAll();

    // The one-second count of the page in flight, running from the moment
    // its connection was granted until its answer (or cancel(): a connection
    // that could not be made leaves it running).
    int addIdleSecond();
    int idleSeconds() const { return m_idleSeconds; }
    int pageSeconds() const { return m_pageSeconds; }

signals:
    void connected(quint64 id);
    void dataArrived(quint64 id, qint64 received, qint32 contentLength);
    void finished(quint64 id, const PageResult &result);
    void idleTick(quint64 id);
    void downloaded(quint64 id, const DownloadResult &result);

private:
    void begin(quint64 id);
    void watch(PageFetcher *fetcher, quint64 id);
    void adopt(quint64 id);
    void dropAhead();
    void release(HostScheduler::Ticket &ticket);

    HostScheduler &m_scheduler;
    QTimer m_idleTimer;
    PageRequest m_request;
    PageFetcher *m_current = nullptr;
    class FileFetch *m_download = nullptr;
    HostScheduler::Ticket m_ticket = 0;
    PageFetcher *m_ahead = nullptr;
    HostScheduler::Ticket m_aheadTicket = 0;
    quint64 m_id = 0;
    int m_idleSeconds = 0;
    int m_pageSeconds = 0;
};
