#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>

class QSocketNotifier;

// The helper's end of the pipe: protocol lines in on standard input, out on
// standard output. Standard output is kept for the protocol alone: the
// channel writes to a private copy of it and points the process's own
// standard output at standard error, so that nothing the browser engine or a
// library prints can break a line.
class HelperChannel : public QObject
{
    Q_OBJECT
public:
    explicit HelperChannel(QObject *parent = nullptr);
    ~HelperChannel() override;

    void send(const QJsonObject &message);

signals:
    void received(const QJsonObject &message);
    // Standard input has ended: the caller wants nothing more.
    void inputEnded();

private:
    void readInput();
    void takeLines();

    int m_output = -1;
    int m_inputFlags = -1;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_buffer;
    bool m_skippingLongLine = false;
    bool m_ended = false;
};
