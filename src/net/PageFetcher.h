#pragma once

#include "net/PageTypes.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class BodyReader;
class ConnectionPool;
class HttpConnection;

// Gets one web page with an HTTP/1.1 GET, plain or over TLS, and knows
// nothing of the scan: a request in, events while it runs, a result out. One
// object per request.
//
// The request of old (plainRequest, or no user agent) opens its own
// connection and reads the answer until the server closes it. Otherwise the
// request is a browser's (keep-alive, compressed pages, the scan's cookies)
// and goes over a connection of the pool, kept for the next request when its
// answer ends where its length or chunks say. A request sent on a kept
// connection that closes before a byte of the answer is sent once more on a
// new one; the page announces its connection once either way.
class PageFetcher : public QObject
{
    Q_OBJECT
public:
    // A server that sends without end would hold the scan while memory grows:
    // an answer is ended, as the server's close would end it, once its body
    // (or a response without a head) reaches this size.
    static constexpr qint64 kPageCap = 16 * 1024 * 1024;
    static const QByteArray kAccept;
    static const QByteArray kAcceptEncoding;

    // pool: the scan's connections; without one the fetcher has its own,
    // closed when it is done.
    explicit PageFetcher(const PageRequest &request, QObject *parent = nullptr);
    PageFetcher(const PageRequest &request, ConnectionPool *pool, QObject *parent = nullptr);
    ~PageFetcher() override;

    const PageRequest &request() const { return m_request; }
    void start();
    // Ends the request now; no further signal comes.
    void cancel();
    bool isDone() const { return m_done; }
    const PageResult &result() const { return m_result; }
    PageResult takeResult() { return std::move(m_result); }
    qint64 received() const { return m_received; }
    // What has come so far, before the answer is whole.
    QByteArray partialHead() const { return m_headComplete ? m_result.head : QByteArray(); }
    QByteArray partialBody() const;
    qint32 contentLength() const { return m_contentLength; }
    // The request went on a kept connection that has not answered yet: its
    // connection is announced now (the page's time runs as if it were new).
    void announceKeptConnection();

    // Opens the connections the request and those after it on its host will
    // want, ahead of them, in the pool; the request of old opens its own and
    // gets none.
    static void warm(const PageRequest &request, ConnectionPool &pool, int connections);

    // The exact request of old for a host and path. A user agent line follows
    // the Accept line unless the user agent is empty; a host with non-ASCII
    // letters is named in its ASCII form; control characters of a stored
    // user agent are left out.
    static QByteArray requestBytes(const QString &host, const QString &path, const QString &userAgent = QString());
    // The browser's request: kept alive, the Accept lines of a browser, the
    // cookies given. target: the path, or the whole URL for a proxy.
    static QByteArray browserRequestBytes(const QString &host, const QString &target, const QString &userAgent,
                                          const QByteArray &cookies = QByteArray());
    // The Accept-Language value: the user's locale, then English.
    static QByteArray acceptLanguage();

signals:
    void connected();
    // Bytes came: received counts body bytes once the head is complete.
    void dataArrived(qint64 received, qint32 contentLength);
    void finished();

private:
    void openConnection();
    void attach(HttpConnection *connection);
    void sendRequest();
    void onConnected();
    void onFailed(PageResult::Failure failure, const QString &text);
    void onReadyRead();
    void onClosed();
    void announce();
    void take(const QByteArray &bytes);
    void detectHead();
    void startBody();
    bool answerIsWhole() const;
    void finish(PageResult::Failure failure = PageResult::Failure::None, const QString &text = QString());
    void letConnectionGo(bool mayKeep);

    PageRequest m_request;
    QPointer<ConnectionPool> m_pool;
    ConnectionPool *m_ownPool = nullptr;
    QPointer<HttpConnection> m_connection;
    bool m_plain = true;            // the request of old
    bool m_reused = false;          // the request went on a kept connection
    bool m_resent = false;
    bool m_announced = false;       // connected was emitted
    PageResult m_result;
    QByteArray m_response;          // until the head is complete
    std::unique_ptr<BodyReader> m_body;
    bool m_headComplete = false;
    qsizetype m_headSearchFrom = 0;
    qint64 m_received = 0;
    qint32 m_contentLength = 0;
    bool m_done = false;
    bool m_anyByte = false;         // the server sent something
    bool m_keepable = false;        // the answer lets the connection carry another request
    int m_keepMs = 0;
    bool m_extraBytes = false;      // bytes came after the body
};
