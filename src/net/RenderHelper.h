#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>

class QProcess;

// One running reciplex-render, fenced in: it is started in a process group of
// its own (so that the browser engine's processes it starts can be ended with
// it) with a limit on each process's data memory, dies with its caller, and is
// watched: the memory of its whole process tree, its exit and what it writes.
// It ends at most once, with a reason; after that it sends nothing more.
class RenderHelper : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        qint64 processData = qint64(2) << 30;  // RLIMIT_DATA of every process of the tree
        qint64 tree = qint64(3) << 30;         // all its processes together
        int pageMemoryMiB = 1024;               // the helper ends a page's renderer past this
        int helloMs = 30 * 1000;                // the engine's start-up, on a busy machine
    };

    RenderHelper(const QString &program, const Limits &limits, QObject *parent = nullptr);
    // Kills the process tree; no signal follows.
    ~RenderHelper() override;

    void start();
    bool isReady() const { return m_ready; }
    bool hasEnded() const { return m_ended; }
    bool isStopping() const { return m_stopping; }
    qint64 processId() const;
    void send(const QJsonObject &message);
    // Closes the helper's input so that it ends by itself; killed if it has
    // not after a few seconds.
    void stop();
    // The last lines it wrote to its standard error, for a diagnosis.
    QByteArray recentErrors() const { return m_errors; }

signals:
    void ready();
    void received(const QJsonObject &message);
    // reason is empty for a helper that ended as stop() asked.
    void ended(const QString &reason);

private:
    void readOutput();
    void readErrors();
    void checkMemory();
    void end(const QString &reason);
    void killTree();

    const QString m_program;
    const Limits m_limits;
    QProcess *m_process = nullptr;
    QTimer m_helloLimit;
    QTimer m_memoryTick;
    QTimer m_stopLimit;
    QByteArray m_buffer;
    QByteArray m_errors;
    qint64 m_pid = 0;
    bool m_ready = false;
    bool m_ended = false;
    bool m_stopping = false;
};
