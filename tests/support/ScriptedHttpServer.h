#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

// One scripted answer: pieces of bytes written after delays, then an ending.
struct ScriptedReply
{
    enum class Ending {
        Close,     // the server closes the connection after the last piece
        KeepOpen,  // the connection stays open until the client closes it
        Endless,   // after the pieces, body bytes are sent without end
        Reset,     // the connection is reset (TCP RST) after the last piece
    };
    struct Piece
    {
        int delayMs;
        QByteArray bytes;
    };
    QList<Piece> pieces;
    Ending ending = Ending::Close;
    bool waitForRequest = true; // answer once the request's blank line has arrived

    static ScriptedReply whole(const QByteArray &bytes, Ending ending = Ending::Close)
    {
        ScriptedReply r;
        r.pieces = {{0, bytes}};
        r.ending = ending;
        return r;
    }
    // The bytes one at a time, each after the delay.
    static ScriptedReply drip(const QByteArray &bytes, int delayMs, Ending ending = Ending::Close)
    {
        ScriptedReply r;
        for (char c : bytes)
            r.pieces.append({delayMs, QByteArray(1, c)});
        r.ending = ending;
        return r;
    }
    static ScriptedReply silent()
    {
        ScriptedReply r;
        r.ending = Ending::KeepOpen;
        return r;
    }
};

// A loopback HTTP server for byte-exact cases: it answers every connection
// with the scripted reply (replies queued with addReply are used in turn, the
// last one for all further connections) and records the requests as bytes.
class ScriptedHttpServer : public QObject
{
    Q_OBJECT
public:
    explicit ScriptedHttpServer(QObject *parent = nullptr);
    ~ScriptedHttpServer() override;

    quint16 port() const { return m_server.serverPort(); }
    void setReply(const ScriptedReply &reply);
    void addReply(const ScriptedReply &reply);
    const QList<QByteArray> &requests() const { return m_requests; }
    int connectionCount() const { return m_connections; }
    qint64 bytesSentEndless() const { return m_endlessBytes; }
    // Writes the bytes to every open connection now and then closes them when
    // asked: an answer timed by the test itself rather than by delays.
    void sendNow(const QByteArray &bytes, bool close);
    // True while some client connection is still open on the server side.
    bool hasOpenConnection() const;
    // Replies go to requests rather than connections: the n-th request, on
    // whatever connection it came, gets the n-th reply (the last for all
    // further), and a reply that keeps the connection open waits there for
    // the next request, as a kept-alive server does.
    void answerEveryRequest() { m_perRequest = true; }

private:
    void onNewConnection();
    void answer(QTcpSocket *socket, const ScriptedReply &reply, int requestIndex);
    void feedEndless(QTcpSocket *socket);
    void reset(QTcpSocket *socket);

    QTcpServer m_server;
    QList<ScriptedReply> m_replies;
    QList<QByteArray> m_requests;
    QList<QTcpSocket *> m_open;
    int m_connections = 0;
    bool m_perRequest = false;
    qint64 m_endlessBytes = 0;
};
