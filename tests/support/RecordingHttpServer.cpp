#include "support/RecordingHttpServer.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

QByteArray RecordingHttpServer::Request::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

RecordingHttpServer::RecordingHttpServer(QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &RecordingHttpServer::onConnection);
}

RecordingHttpServer::~RecordingHttpServer() = default;

bool RecordingHttpServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 RecordingHttpServer::port() const
{
    return m_server->serverPort();
}

QString RecordingHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

void RecordingHttpServer::setResponder(Responder responder)
{
    m_responder = std::move(responder);
}

void RecordingHttpServer::setBody(const QByteArray &body)
{
    setResponder([body](const Request &) {
        Response r;
        r.body = body;
        return r;
    });
}

QList<QByteArray> RecordingHttpServer::targets() const
{
    QList<QByteArray> out;
    for (const Request &r : m_requests)
        out << r.target;
    return out;
}

RecordingHttpServer::Response RecordingHttpServer::redirectTo(const QByteArray &location, int status)
{
    Response r;
    r.status = status;
    r.reason = "Found";
    r.headers << qMakePair(QByteArray("Location"), location);
    return r;
}

void RecordingHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
    }
}

void RecordingHttpServer::onData(QTcpSocket *socket)
{
    // One request per connection: wait for the whole head, answer, close.
    QByteArray buffered = socket->property("buffered").toByteArray() + socket->readAll();
    socket->setProperty("buffered", buffered);
    const int end = buffered.indexOf("\r\n\r\n");
    if (end < 0 || socket->property("answered").toBool())
        return;

    Request req;
    const QList<QByteArray> lines = buffered.left(end).split('\n');
    req.requestLine = lines.value(0).trimmed();
    const QList<QByteArray> parts = req.requestLine.split(' ');
    req.method = parts.value(0);
    req.target = parts.value(1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon > 0)
            req.headers << qMakePair(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    // A request with a body is answered once the whole body is in.
    const qsizetype length = req.header("Content-Length").toLongLong();
    if (buffered.size() - (end + 4) < length)
        return;
    req.body = buffered.mid(end + 4, length);
    socket->setProperty("answered", true);
    m_requests << req;

    const Response resp = m_responder ? m_responder(req) : Response();
    if (resp.withoutAnswer == Response::Without::Silent)
        return;
    if (resp.withoutAnswer == Response::Without::Closed) {
        socket->disconnectFromHost();
        return;
    }
    if (!resp.rawThenSilence.isEmpty()) {
        socket->write(resp.rawThenSilence);
        return;
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(resp.status) + ' ' + resp.reason + "\r\n";
    out += "Content-Length: " + QByteArray::number(resp.body.size()) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto &h : resp.headers)
        out += h.first + ": " + h.second + "\r\n";
    out += "\r\n" + resp.body;
    socket->write(out);
    socket->disconnectFromHost();
}
