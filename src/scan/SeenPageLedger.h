#pragma once

#include <QHash>
#include <QList>
#include <QString>

class Project;

// The Linking Site URLs of each Main Site as the scan has committed them,
// keyed as the seen-page test compares them: a page a Linking Site row
// names is never queued for another site. Sites scanned ahead of their turn
// ask it while earlier sites may still replace their URLs (chkUpdate); the
// version of a Main Site tells at once whether anything changed since.
class SeenPageLedger
{
public:
    void reset(const Project &project);

    // The key of a Linking Site URL: its "https://" and every "www." left
    // out, in lower case.
    static QString keyOf(const QString &linkingSiteUrl);

    // Whether a row of the Main Site other than the given one has the key.
    bool otherRowHas(int main, int row, const QString &key);
    void rowChanged(int main, int row, const QString &url);
    quint64 version(int main);

private:
    struct MainRows
    {
        QList<QString> keys;         // by row
        QHash<QString, int> counts;  // key -> rows that have it
        quint64 version = 0;
    };
    MainRows &rowsOf(int main);

    const Project *m_project = nullptr;
    QHash<int, MainRows> m_mains;
};
