#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>

class QSslError;
class QTcpSocket;

// One page request: where it goes and what it says.
struct PageRequest
{
    QString host;            // as the page's URL names it; a ":port" stays
    QString path;            // begins with "/"
    bool secure = false;     // over TLS
    quint16 port = 80;       // plain requests (tests serve elsewhere)
    quint16 tlsPort = 443;   // secure requests
    QString userAgent;       // "" sends no User-Agent line
    bool acceptAnyCertificate = false;

    bool sameTarget(const PageRequest &o) const
    {
        return host == o.host && path == o.path && secure == o.secure;
    }
};

// What became of a page request.
struct PageResult
{
    enum class Failure {
        None,
        Refused,       // nothing listens on the port
        HostNotFound,  // the name does not resolve
        BadName,       // the name has no ASCII (punycode) form: nothing to look up
        Unreachable,   // any other failure before the connection was made
        Secure,        // the connection was made but not secured
        NoReply,       // the connection closed before the server sent a byte
    };
    Failure failure = Failure::None;
    QString failureText;     // for Secure: what went wrong, in words
    bool connected = false;  // the TCP connection was made
    QByteArray head;         // through its blank line; empty when none came
    QByteArray body;         // the body the server meant (chunks decoded);
                             // without a head, everything received
    bool capped = false;     // cut at the page cap

    bool isPage() const { return failure == Failure::None; }
    // The page text as the scan reads it: the response with every occurrence
    // of its head text removed, ignoring case.
    QString pageText() const;
};

Q_DECLARE_METATYPE(PageResult)

// Gets one web page: a minimal HTTP/1.1 GET over a plain TCP connection or
// over TLS, the answer collected until the server closes (or ends its TLS
// session), a chunked body decoded as it comes. It knows nothing of the scan:
// a request in, events while it runs, a result out. One object per request.
class PageFetcher : public QObject
{
    Q_OBJECT
public:
    // A server that sends without end would hold the scan while memory grows:
    // an answer is ended, as the server's close would end it, once its body
    // (or a response without a head) reaches this size.
    static constexpr qint64 kPageCap = 16 * 1024 * 1024;

    explicit PageFetcher(const PageRequest &request, QObject *parent = nullptr);
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

    // The exact request bytes for a host and path. A user agent line follows
    // the Accept line unless the user agent is empty; a host with non-ASCII
    // letters is named in its ASCII form; control characters of a stored
    // user agent are left out.
    static QByteArray requestBytes(const QString &host, const QString &path, const QString &userAgent = QString());

signals:
    void connected();
    // Bytes came: received counts body bytes once the head is complete.
    void dataArrived(qint64 received, qint32 contentLength);
    void finished();

private:
    void onConnected();
    void onEncrypted();
    void onSslErrors(const QList<QSslError> &errors);
    void onError(QAbstractSocket::SocketError error);
    void onReadyRead();
    void take(const QByteArray &bytes);
    void detectHead();
    void finish(PageResult::Failure failure = PageResult::Failure::None, const QString &text = QString());
    void dropSocket();

    PageRequest m_request;
    QTcpSocket *m_socket = nullptr;
    PageResult m_result;
    QByteArray m_response;        // until the head is complete
    class ChunkedDecoder *m_chunks = nullptr;
    bool m_headComplete = false;
    qsizetype m_headSearchFrom = 0;
    qint64 m_received = 0;
    qint32 m_contentLength = 0;
    bool m_encrypted = false;
    bool m_done = false;
    bool m_anyByte = false;       // the server sent something
    QString m_certificateFailure;
};
