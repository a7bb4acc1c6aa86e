#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;

// One page asked for before its turn, over plain HTTP: the answer is kept
// whole and unseen until the scan fetches that page, and is then handed over
// as if it had just arrived, so a page never asked for counts nothing.
class PageAhead : public QObject
{
    Q_OBJECT
public:
    PageAhead(const QString &host, const QString &path, QObject *parent = nullptr);
    ~PageAhead() override;

    void start(quint16 port, const QByteArray &request, qint64 cap);
    // Closes the connection now, not when the object goes: a page no longer
    // wanted must not hold the host.
    void cancel();
    bool matches(const QString &host, const QString &path) const { return host == m_host && path == m_path; }
    bool isDone() const { return m_done; }
    // Connected and closed by the server: an answer as a fetch would have it.
    bool isWhole() const { return m_done && m_connected && !m_failed; }
    const QByteArray &bytes() const { return m_bytes; }

signals:
    void dataArrived();
    void done();

private:
    void finish(bool failed);

    QString m_host, m_path;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_bytes;
    qint64 m_cap = 0;
    bool m_connected = false;
    bool m_done = false;
    bool m_failed = false;
};
