#pragma once

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <utility>

// Sites scanned side by side share one event loop, and a page analysis lets
// events run: a page of another site arriving then would be analysed inside
// the first. The gate makes analyses take turns: one that arrives while
// another runs waits until it ends, and is dropped if its site has gone.
class AnalysisGate
{
public:
    void run(QObject *owner, std::function<void()> work);
    void clear() { m_waiting.clear(); }

private:
    bool m_busy = false;
    std::deque<std::pair<QPointer<QObject>, std::function<void()>>> m_waiting;
};
