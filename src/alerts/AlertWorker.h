#pragma once

#include "alerts/AlertDispatch.h"

#include <QObject>

#include <atomic>

class QThread;

// Sends alerts on a thread of their own, so the window stays responsive
// while a webhook or an SMTP server takes its time; finished() comes back on
// the worker's own thread. Destroying it gives up the pauses between tries
// and waits for the sends under way.
class AlertWorker : public QObject
{
    Q_OBJECT
public:
    explicit AlertWorker(QObject *parent = nullptr);
    ~AlertWorker() override;

    void send(const RunAlert &alert, const AlertSettings &settings, const DeliveryPolicy &policy,
              const AlertChannels &channels = {});
    bool isBusy() const { return !m_threads.isEmpty(); }

signals:
    void finished(const AlertOutcome &outcome);

private:
    std::atomic<bool> m_cancelled{false};
    QList<QThread *> m_threads;
};
