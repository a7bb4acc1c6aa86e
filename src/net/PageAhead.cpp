#include "net/PageAhead.h"

#include "net/HostName.h"

#include <QTcpSocket>

PageAhead::PageAhead(const QString &host, const QString &path, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_path(path)
{
}

PageAhead::~PageAhead()
{
    cancel();
}

void PageAhead::cancel()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = std::exchange(m_socket, nullptr);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void PageAhead::start(quint16 port, const QByteArray &request, qint64 cap)
{
    m_cap = cap;
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::connected, this, [this, request] {
        m_connected = true;
        m_socket->write(request);
    });
    connect(m_socket, &QTcpSocket::readyRead, this, [this] {
        m_bytes += m_socket->readAll();
        emit dataArrived();
        // Past the cap the rest is not wanted: the answer ends there, as a fetch's would.
        if (m_bytes.size() >= m_cap)
            finish(false);
    });
    connect(m_socket, &QTcpSocket::disconnected, this, [this] {
        m_bytes += m_socket->readAll();
        finish(false);
    });
    connect(m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            finish(true);
    });
    m_socket->connectToHost(asciiHost(m_host), port);
}

void PageAhead::finish(bool failed)
{
    if (m_done)
        return;
    m_done = true;
    m_failed = failed;
    cancel();
    emit done();
}
