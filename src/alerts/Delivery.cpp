#include "alerts/Delivery.h"

#include <QDeadlineTimer>
#include <QThread>

bool DeliveryPolicy::pauseBefore(int attempt) const
{
    if (pausesMs.isEmpty())
        return !isCancelled();
    const int ms = pausesMs.at(qBound(0, attempt - 1, int(pausesMs.size()) - 1));
    // Short steps, so a cancel is seen soon.
    const QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        if (isCancelled())
            return false;
        QThread::msleep(quint64(qMin<qint64>(50, deadline.remainingTime())));
    }
    return !isCancelled();
}
