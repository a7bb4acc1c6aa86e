#pragma once

#include <QList>
#include <QString>

#include <atomic>

// How an alert is delivered: one try and three more after a pause, each with
// a time limit. A scan never fails for an alert: what could not be delivered
// goes to the run's errors.
struct DeliveryPolicy
{
    int retries = 3;
    QList<int> pausesMs{1000, 2000, 4000};  // before the second, third, fourth try
    int timeoutMs = 15000;                  // one try without an answer
    // Set from another thread to give up at once (the window is closing).
    const std::atomic<bool> *cancelled = nullptr;

    bool isCancelled() const { return cancelled && cancelled->load(); }
    // Waits before try number `attempt` (1 for the first retry); false when
    // cancelled meanwhile.
    bool pauseBefore(int attempt) const;
};

struct Delivery
{
    bool delivered = false;
    int attempts = 0;
    QString detail;   // the answer when delivered ("HTTP 204"), or why it was not
};
