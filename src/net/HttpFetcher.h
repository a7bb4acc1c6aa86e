#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QSslError;
class QTcpSocket;
class PageAhead;
class SecureHosts;
class WholePageDownload;

// The state of the one fetch slot: everything received for the page in flight.
struct FetchSlot
{
    QString host;            // no "/", no scheme
    QString path;            // begins with "/"
    QByteArray response;     // head and body as received (ISO-8859-1)
    QByteArray head;         // the head through its blank line, once the page is finished
    qint64 received = 0;     // bytes; body bytes only once the head is complete
    bool headComplete = false;
    qint32 contentLength = 0; // 0 when absent or unreadable
    int idleSeconds = 0;
    int pageSeconds = 0;     // since the fetch started; arriving data does not reset them
    bool secure = false;     // fetched over TLS
    bool upgraded = false;   // fetched again over TLS after a plain redirect to https
    bool connected = false;  // the TCP connection was made
    bool encrypted = false;  // and, for TLS, secured
    QString requestHost;     // the host connected to and named in the Host line
    QString tlsFailure;      // why the secure connection failed, once known
};

// Gets one web page for the scan: a minimal HTTP/1.1 GET over a plain TCP
// connection, or over TLS for a host known to be secure, the answer collected
// until the server closes, the head cut off, known error statuses reported, a
// chunked body decoded, the page text handed on. A plain answer that
// redirects to the https URL of the same host is fetched again over TLS as the
// page itself. No other redirects, no compressed bodies. The scan uses slot 0
// only, so one page is in flight at a time; other slot numbers are ignored.
class HttpFetcher : public QObject
{
    Q_OBJECT
public:
    // A server that sends without end would hold the scan while memory grows:
    // a response is ended, as the server's close would end it, at this size.
    static constexpr qint64 kResponseCap = 16 * 1024 * 1024;

    explicit HttpFetcher(QObject *parent = nullptr);
    ~HttpFetcher() override;

    void setPort(quint16 port) { m_port = port; }
    quint16 port() const { return m_port; }
    void setTlsPort(quint16 port) { m_tlsPort = port; }
    quint16 tlsPort() const { return m_tlsPort; }
    // The scan's knowledge of secure hosts, which the fetcher consults and
    // adds to; without it every page goes over plain HTTP.
    void setSecureHosts(SecureHosts *hosts) { m_secureHosts = hosts; }
    // Data and close events are dropped while this says the scan is not running.
    void setRunningCheck(std::function<bool()> running) { m_running = std::move(running); }

    // Starts one page: the entry is split into host and path, the slot is
    // reset, its idle timer started and the connection opened.
    void fetch(int slot, const QString &entry);
    // Downloads the target of a redirect page whole for the slot, within the
    // total time given; wholePageArrived carries its text. Closing the slot or
    // a new fetch ends it at once.
    void fetchWholePage(int slot, const QString &url, qint64 totalTimeoutMs);
    // Closes the slot's connection and ends its download; no close event follows.
    void closeSlot(int slot);
    void closeAll();     // the page asked for ahead too

    // Sites scanned beside others may ask for their next page while the
    // current one is analysed: a plain page of the entry is requested on a
    // second connection and kept, unseen and uncounted, until fetch() asks
    // for the same host and path (then it arrives as if fetched then) or
    // another page (then it is dropped).
    void setFetchAhead(bool on) { m_fetchAhead = on; }
    void fetchAhead(const QString &entry);
    void stopIdleTimer(int slot);
    int addIdleSecond(int slot);

    const FetchSlot &slotRecord(int slot) const;
    // The page context of the entry last fetched.
    const QString &strURL() const { return m_strURL; }
    const QString &strCurUrl() const { return m_strCurUrl; }
    const QString &strCurDir() const { return m_strCurDir; }

    // The exact request bytes for a host and path. A user agent line follows
    // the Accept line unless the user agent is empty; a host with non-ASCII
    // letters is named in its ASCII form.
    static QByteArray requestBytes(const QString &host, const QString &path, const QString &userAgent = QString());

signals:
    void statusText(const QString &text);        // "Downloading: …", "Finished: …"
    void connectedToHost(int slot);              // counts a page scanned
    void progress(int percent);
    void statusError(const QString &text, const QString &url); // a known error status, a failed TLS connection
    void pageArrived(int slot, const QString &pageText);
    void pageFailed(int slot);                   // no page: its secure connection failed
    void wholePageArrived(int slot, const QString &pageText);
    void idleTick(int slot);

private:
    void connectSlot(quint64 token);
    void onConnected(quint64 token);
    void onEncrypted(quint64 token);
    void onSslErrors(quint64 token, const QList<QSslError> &errors);
    void onSocketError(quint64 token, QAbstractSocket::SocketError error);
    void sendRequest();
    void onDataArrived(quint64 token);
    void onClosed(quint64 token);
    void appendData(const QByteArray &bytes);
    void detectHead();
    bool fetchAgainSecurely(const QByteArray &head);
    void finishPage();
    void failSecurePage(quint64 token);
    void dropSocket();
    void dropAhead();
    void adoptAhead(quint64 token);
    void replayAhead(quint64 token);
    bool runningNow() const { return !m_running || m_running(); }

    FetchSlot m_slot;
    QTimer m_idleTimer;
    QTcpSocket *m_socket = nullptr;
    WholePageDownload *m_download;
    SecureHosts *m_secureHosts = nullptr;
    bool m_fetchAhead = false;
    PageAhead *m_ahead = nullptr;    // the next page, asked for ahead
    PageAhead *m_adopted = nullptr;  // the page in flight, asked for ahead
    quint64 m_token = 0;           // changes with every fetch and close
    quint16 m_port = 80;
    quint16 m_tlsPort = 443;
    std::function<bool()> m_running;
    QString m_strURL, m_strCurUrl, m_strCurDir;
    quint64 m_dataStepToken = 0;   // the fetch whose data step is under way (events run inside it)
    bool m_closePending = false;   // its close arrived during that step
    bool m_capReached = false;
    qsizetype m_headSearchFrom = 0; // where the search for the blank line goes on
};
