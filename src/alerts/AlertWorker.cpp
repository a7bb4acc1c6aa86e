#include "alerts/AlertWorker.h"

#include <QPointer>
#include <QThread>

AlertWorker::AlertWorker(QObject *parent) : QObject(parent) {}

AlertWorker::~AlertWorker()
{
    m_cancelled = true;
    for (QThread *thread : std::as_const(m_threads)) {
        thread->wait();
        delete thread;
    }
}

void AlertWorker::send(const RunAlert &alert, const AlertSettings &settings, const DeliveryPolicy &policy,
                       const AlertChannels &channels)
{
    DeliveryPolicy shared = policy;
    shared.cancelled = &m_cancelled;
    QPointer<AlertWorker> self(this);
    QThread *thread = QThread::create([self, alert, settings, shared, channels] {
        const AlertOutcome outcome = sendAlert(alert, settings, shared, channels);
        if (self)
            QMetaObject::invokeMethod(self, [self, outcome] {
                if (self)
                    emit self->finished(outcome);
            }, Qt::QueuedConnection);
    });
    m_threads << thread;
    connect(thread, &QThread::finished, this, [this, thread] {
        m_threads.removeOne(thread);
        thread->deleteLater();
    });
    thread->start();
}
