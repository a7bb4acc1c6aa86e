#include "support/ScriptedHttpServer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

ScriptedHttpServer::ScriptedHttpServer(QObject *parent)
    : QObject(parent)
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedHttpServer::onNewConnection);
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    for (QTcpSocket *s : std::as_const(m_open)) {
        s->disconnect(this);
        s->abort();
    }
}

void ScriptedHttpServer::setReply(const ScriptedReply &reply)
{
    m_replies = {reply};
}

void ScriptedHttpServer::addReply(const ScriptedReply &reply)
{
    m_replies.append(reply);
}

bool ScriptedHttpServer::hasOpenConnection() const
{
    for (QTcpSocket *s : m_open)
        if (s->state() == QAbstractSocket::ConnectedState)
            return true;
    return false;
}

void ScriptedHttpServer::sendNow(const QByteArray &bytes, bool close)
{
    for (QTcpSocket *s : std::as_const(m_open)) {
        if (s->state() != QAbstractSocket::ConnectedState)
            continue;
        s->write(bytes);
        if (close)
            s->disconnectFromHost();
    }
}

void ScriptedHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        const int index = m_connections++;
        const ScriptedReply reply = m_replies.isEmpty() ? ScriptedReply::silent()
                                                        : m_replies.at(qMin<qsizetype>(index, m_replies.size() - 1));
        const int requestIndex = int(m_requests.size());
        m_requests.append(QByteArray());
        m_open.append(socket);
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_open.removeAll(socket);
            socket->deleteLater();
        });
        if (m_perRequest) {
            m_requests.removeLast();
            auto pending = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket, pending] {
                *pending += socket->readAll();
                for (qsizetype end; (end = pending->indexOf("\r\n\r\n")) >= 0;) {
                    m_requests.append(pending->left(end + 4));
                    pending->remove(0, end + 4);
                    const qsizetype n = m_requests.size() - 1;
                    answer(socket, m_replies.value(qMin<qsizetype>(n, m_replies.size() - 1), ScriptedReply::silent()), int(n));
                }
            });
            continue;
        }
        auto answered = std::make_shared<bool>(false);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, reply, requestIndex, answered] {
            m_requests[requestIndex] += socket->readAll();
            if (!*answered && reply.waitForRequest && m_requests[requestIndex].contains("\r\n\r\n")) {
                *answered = true;
                answer(socket, reply, requestIndex);
            }
        });
        if (!reply.waitForRequest) {
            *answered = true;
            answer(socket, reply, requestIndex);
        }
    }
}

void ScriptedHttpServer::answer(QTcpSocket *socket, const ScriptedReply &reply, int requestIndex)
{
    (void)requestIndex;
    QPointer<QTcpSocket> guard(socket);
    int at = 0;
    for (const ScriptedReply::Piece &piece : reply.pieces) {
        at += piece.delayMs;
        QTimer::singleShot(at, this, [guard, bytes = piece.bytes] {
            if (guard && guard->state() == QAbstractSocket::ConnectedState)
                guard->write(bytes);
        });
    }
    QTimer::singleShot(at, this, [this, guard, ending = reply.ending] {
        if (!guard || guard->state() != QAbstractSocket::ConnectedState)
            return;
        if (ending == ScriptedReply::Ending::Close)
            guard->disconnectFromHost();
        else if (ending == ScriptedReply::Ending::Endless)
            feedEndless(guard);
        else if (ending == ScriptedReply::Ending::Reset)
            reset(guard);
    });
}

// A close without linger time sends a reset instead of the orderly end.
void ScriptedHttpServer::reset(QTcpSocket *socket)
{
    socket->flush();
    const linger noLinger{1, 0};
    ::setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger);
    socket->abort();
}

// Keeps about a megabyte in flight and tops it up as it drains, until the
// client goes away.
void ScriptedHttpServer::feedEndless(QTcpSocket *socket)
{
    static const QByteArray chunk(64 * 1024, 'x');
    auto topUp = [this, socket] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 1024 * 1024) {
            socket->write(chunk);
            m_endlessBytes += chunk.size();
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, this, topUp);
    topUp();
}
