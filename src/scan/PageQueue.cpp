#include "scan/PageQueue.h"

void PageQueue::clear()
{
    m_entries.clear();
    m_folded.clear();
}

void PageQueue::append(const QString &url)
{
    m_entries.push_back(url);
    ++m_folded[url.toCaseFolded()];
}

QString PageQueue::popFront()
{
    if (m_entries.empty())
        return QString();
    QString url = std::move(m_entries.front());
    m_entries.pop_front();
    auto it = m_folded.find(url.toCaseFolded());
    if (it != m_folded.end() && --it.value() <= 0)
        m_folded.erase(it);
    return url;
}

bool PageQueue::containsNoCase(const QString &url) const
{
    return m_folded.contains(url.toCaseFolded());
}

QStringList PageQueue::entries() const
{
    QStringList list;
    list.reserve(qsizetype(m_entries.size()));
    for (const QString &e : m_entries)
        list.append(e);
    return list;
}
