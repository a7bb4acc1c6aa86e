#include "scan/AnalysisGate.h"

void AnalysisGate::run(QObject *owner, std::function<void()> work)
{
    if (m_busy) {
        m_waiting.emplace_back(owner, std::move(work));
        return;
    }
    m_busy = true;
    work();
    while (!m_waiting.empty()) {
        auto next = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (next.first)
            next.second();
    }
    m_busy = false;
}
