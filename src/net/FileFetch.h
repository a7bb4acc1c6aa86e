#pragma once

#include "net/PageFetcher.h"

class HostScheduler;

#include <QObject>
#include <QTimer>
#include <QUrl>

// A whole URL a scan reads besides its pages (robots.txt, the target of a
// redirect page): fetched with the scan's own request, redirections followed
// (at most five, to http or https), given up after a time without data and
// after a time in all; what came by then is kept. It knows nothing of the
// scan; the caller takes a turn for the host before it starts. With the
// scan's scheduler it goes over the scan's connections (kept ones reused).
class FileFetch : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMaxRedirects = 5;

    // base: the user agent and certificate choice of the scan; its host,
    // path and ports are taken from the URL.
    FileFetch(const QUrl &url, const PageRequest &base, int idleMs, qint64 totalMs, HostScheduler *scheduler = nullptr,
              QObject *parent = nullptr);

    void start();
    void cancel();

    // After finished: the status code of the last answer (0 when none came).
    int statusCode() const { return m_status; }
    const QByteArray &body() const { return m_body; }
    // The head of the last answer, and the URL it answered for (after the
    // redirections).
    const QByteArray &head() const { return m_head; }
    const QUrl &finalUrl() const { return m_url; }
    // The redirections led back to a URL already asked for, or past their limit.
    bool looped() const { return m_looped; }

signals:
    void finished();

private:
    void fetch(const QUrl &url);
    void onFetched();
    void giveUp();
    void end(int status, const QByteArray &body, const QByteArray &head = QByteArray());

    PageRequest m_base;
    HostScheduler *m_scheduler;
    QUrl m_url;
    PageFetcher *m_fetcher = nullptr;
    QTimer m_limit;
    QTimer m_idle;
    int m_redirects = 0;
    QList<QUrl> m_visited;
    bool m_looped = false;
    int m_status = 0;
    QByteArray m_body;
    QByteArray m_head;
    bool m_done = false;
};
