// The scan history at the size of a large project: 200 runs of one Main Site
// with 10,000 Linking Sites. Prints the time to store one run (the way a scan
// stores it: from the project's result rows) and, on the full database, the
// time to compute the changes of the last run, the chart of the Main Site and
// one site's status run by run.
#include "history/HistoryDatabase.h"
#include "history/ProjectHistory.h"
#include "model/Project.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// One scan's rows: most partners link back; a few drop their link, come
// back, move it to another page or add nofollow from run to run.
QList<LinkResult> scanRows(int sites, int run, QRandomGenerator &random)
{
    QList<LinkResult> rows;
    rows.reserve(sites);
    for (int i = 0; i < sites; ++i) {
        const QString host = QStringLiteral("partner%1.org").arg(i);
        const quint32 roll = random.bounded(1000);
        if (roll < 60) {
            rows.append(LinkResult{1, QStringLiteral("mysite.com"), host, QStringLiteral("None Found (Timeout)"),
                                   QStringLiteral("000"), host, RowColour::Red});
        } else if (roll < 65) {
            rows.append(LinkResult{1, QStringLiteral("mysite.com"), host, QStringLiteral("None Found (Skipped)"),
                                   QStringLiteral("000"), host, RowColour::Red});
        } else {
            const QString page = roll < 70 ? QStringLiteral("/moved%1.htm").arg(run) : QStringLiteral("/links.htm");
            rows.append(LinkResult{2, QStringLiteral("mysite.com"), host, QStringLiteral("Direct Link"),
                                   QStringLiteral("001"), host + page, RowColour::Blue,
                                   roll < 75 ? QStringLiteral("nofollow") : QString()});
        }
    }
    return rows;
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    SettingsStore::useLocation(dir.path());
    if (!HistoryDatabase::driverAvailable()) {
        std::fprintf(stderr, "the QSQLITE driver is not installed\n");
        return 1;
    }
    const int runs = argc > 1 ? std::max(2, atoi(argv[1])) : 200;
    const int sites = 10000;

    Project project;
    const int main = project.addMainSite(QStringLiteral("http://www.mysite.com/"));
    for (int i = 0; i < sites; ++i)
        project.addLinkingSite(main, QStringLiteral("partner%1.org/links.htm").arg(i));

    ProjectHistory history;
    history.setPath(dir.filePath(QStringLiteral("big.history.sqlite")));
    QRandomGenerator random(16);
    QList<qint64> storeNs;
    QElapsedTimer t;
    for (int r = 0; r < runs; ++r) {
        project.setResults(scanRows(sites, r, random));
        history.scanStarted(0);
        t.start();
        const ProjectHistory::Outcome outcome = history.scanFinished(project);
        storeNs.append(t.nsecsElapsed());
        if (!outcome.stored) {
            std::fprintf(stderr, "run %d not stored: %s\n", r + 1, qPrintable(outcome.error));
            return 1;
        }
    }
    std::sort(storeNs.begin(), storeNs.end());
    std::printf("store one run of %d Linking Sites (rows to records, write, changes): median %.1f ms, "
                "slowest %.1f ms over %d runs\n",
                sites, ms(storeNs.at(storeNs.size() / 2)), ms(storeNs.last()), runs);

    HistoryDatabase db(history.path());
    const qint64 last = db.latestRunId();
    const int repeats = 5;
    qint64 best[3] = {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max(),
                      std::numeric_limits<qint64>::max()};
    int changes = 0, points = 0, entries = 0;
    for (int i = 0; i < repeats; ++i) {
        t.start();
        changes = int(db.changesOf(last).changes.size());
        best[0] = std::min(best[0], t.nsecsElapsed());
        t.start();
        points = int(db.chart(QStringLiteral("mysite.com")).size());
        best[1] = std::min(best[1], t.nsecsElapsed());
        t.start();
        entries = int(db.siteHistory(QStringLiteral("mysite.com"), QStringLiteral("partner5000.org")).size());
        best[2] = std::min(best[2], t.nsecsElapsed());
    }
    std::printf("changes of the last run against %d runs: %.1f ms (%d changes)\n", runs, ms(best[0]), changes);
    std::printf("chart of the Main Site over %d runs: %.1f ms (%d points)\n", runs, ms(best[1]), points);
    std::printf("one Linking Site run by run: %.1f ms (%d runs)\n", ms(best[2]), entries);
    std::printf("(fastest of %d each)\n", repeats);
    return 0;
}
