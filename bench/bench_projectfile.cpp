// Reads and writes a project of 10,000 Linking Sites and 10,000 results.
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SettingsStore::useLocation(dir.path());
    const int sites = 10000;
    Project p;
    for (int m = 0; m < 10; ++m) {
        const int pos = p.addMainSite(QStringLiteral("http://www.main%1.com/").arg(m));
        for (int i = 0; i < sites / 10; ++i)
            p.appendLinkingSite(pos, LinkingSite{QStringLiteral("partner%1-%2.org/links/page.htm").arg(m).arg(i), "1",
                                                 QStringLiteral("http://partner%1.org/").arg(i), QStringLiteral("Partner %1").arg(i),
                                                 QStringLiteral("A description of partner %1").arg(i), RowColour::Default});
    }
    QList<LinkResult> results;
    for (int i = 0; i < sites; ++i)
        results.append(LinkResult{2, QStringLiteral("main%1.com/").arg(i % 10), QStringLiteral("partner%1.org").arg(i),
                                  "Direct Link", "001", QStringLiteral("partner%1.org/links/page.htm").arg(i), RowColour::Blue});
    p.setResults(results);
    const QString path = dir.filePath("big.prj");

    const int runs = 10;
    QElapsedTimer t;
    qint64 writeNs = 0, readNs = 0;
    for (int r = 0; r < runs; ++r) {
        t.start();
        if (!ProjectFile::write(p, path))
            return 1;
        writeNs += t.nsecsElapsed();
        Project q;
        t.start();
        if (!ProjectFile::read(q, path).complete)
            return 1;
        readNs += t.nsecsElapsed();
    }
    std::printf("project file of %d Linking Sites and %d results: write %.1f ms, read %.1f ms (mean of %d)\n",
                sites, sites, writeNs / 1e6 / runs, readNs / 1e6 / runs, runs);
    return 0;
}
