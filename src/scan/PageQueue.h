#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <deque>

// The breadth-first queue of page URLs still to fetch for the current Linking
// Site. Besides the order it keeps a count of its entries by their case-folded
// text, so the seen-page test asks in constant time whether an entry equals a
// URL ignoring case.
class PageQueue
{
public:
    void clear();
    void append(const QString &url);
    QString popFront();               // "" when empty
    QString front() const { return m_entries.empty() ? QString() : m_entries.front(); }
    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    bool containsNoCase(const QString &url) const;
    QStringList entries() const;

private:
    std::deque<QString> m_entries;
    QHash<QString, int> m_folded;     // case-folded entry -> how many times queued
};
