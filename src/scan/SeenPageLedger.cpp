#include "scan/SeenPageLedger.h"

#include "model/Project.h"

void SeenPageLedger::reset(const Project &project)
{
    m_project = &project;
    m_mains.clear();
}

QString SeenPageLedger::keyOf(const QString &linkingSiteUrl)
{
    // A Linking Site typed as "https://" + H is compared with the scheme-less
    // page URLs of its site as H.
    QString key = linkingSiteUrl.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) ? linkingSiteUrl.mid(8)
                                                                                         : linkingSiteUrl;
    key.remove(QLatin1String("www."), Qt::CaseSensitive);
    return key.toLower();
}

// Built when first asked: until then the project's rows are as committed.
SeenPageLedger::MainRows &SeenPageLedger::rowsOf(int main)
{
    auto it = m_mains.find(main);
    if (it != m_mains.end())
        return *it;
    MainRows rows;
    if (m_project && main >= 0 && main < m_project->mainSiteCount()) {
        for (const LinkingSite &site : m_project->linkingSites(main)) {
            const QString key = keyOf(site.url);
            rows.keys.append(key);
            ++rows.counts[key];
        }
    }
    return *m_mains.insert(main, rows);
}

bool SeenPageLedger::otherRowHas(int main, int row, const QString &key)
{
    const MainRows &rows = rowsOf(main);
    const int own = row >= 0 && row < rows.keys.size() && rows.keys.at(row) == key ? 1 : 0;
    return rows.counts.value(key) - own > 0;
}

void SeenPageLedger::rowChanged(int main, int row, const QString &url)
{
    MainRows &rows = rowsOf(main);
    if (row < 0 || row >= rows.keys.size())
        return;
    const QString key = keyOf(url);
    QString &old = rows.keys[row];
    if (old == key)
        return;
    if (--rows.counts[old] <= 0)
        rows.counts.remove(old);
    ++rows.counts[key];
    old = key;
    ++rows.version;
}

quint64 SeenPageLedger::version(int main)
{
    return rowsOf(main).version;
}
