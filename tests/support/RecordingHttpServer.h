#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>

#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests of the blocking download and
// its callers: it records every request exactly as it arrived and answers
// each one through a responder the test sets. Runs on the test's thread; it is
// served while the code under test waits in its own event loop.
class RecordingHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray requestLine; // "GET /path?query HTTP/1.1"
        QByteArray method;
        QByteArray target;      // "/path?query", exactly as sent
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;        // as long as its Content-Length says
        QByteArray header(const QByteArray &name) const; // first match, any case
    };

    struct Response
    {
        int status = 200;
        QByteArray reason = "OK";
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // When set, only these bytes are sent and the connection stays open:
        // a server that stops talking half way.
        QByteArray rawThenSilence;
        // No answer at all: the connection stays open (silent) or is closed
        // at once (closed), as overloaded servers and filters do.
        enum class Without { Nothing, Silent, Closed };
        Without withoutAnswer = Without::Nothing;
    };
    using Responder = std::function<Response(const Request &)>;

    explicit RecordingHttpServer(QObject *parent = nullptr);
    ~RecordingHttpServer() override;

    bool listen();
    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:PORT"

    // Every request gets the default 200 answer with an empty body until set.
    void setResponder(Responder responder);
    // Convenience: one body for every request.
    void setBody(const QByteArray &body);

    const QList<Request> &requests() const { return m_requests; }
    QList<QByteArray> targets() const;

    static Response redirectTo(const QByteArray &location, int status = 302);

private:
    void onConnection();
    void onData(QTcpSocket *socket);

    QTcpServer *m_server = nullptr;
    Responder m_responder;
    QList<Request> m_requests;
};
