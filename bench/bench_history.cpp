// The scan history at the size of a large project: 200 runs of one Main Site
// with 10,000 Linking Sites. Prints the time to store one run (the way a scan
// stores it: from the sites it concluded) and, on the full database, the
// time to compute the changes of the last run, the chart of the Main Site and
// one site's status run by run.
#include "history/HistoryDatabase.h"
#include "history/RunCapture.h"
#include "scan/ScanFrontEnd.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <functional>
#include <limits>
#include <cstdio>
#include <ctime>

namespace {

// One scan's sites: most partners link back; a few time out or are skipped
// (not checked), drop their link, come back, move it to another page or add
// nofollow from run to run.
QList<SiteConclusion> scanSites(int sites, int run, QRandomGenerator &random)
{
    QList<SiteConclusion> out;
    out.reserve(sites);
    for (int i = 0; i < sites; ++i) {
        SiteConclusion c;
        c.mainSite = QStringLiteral("mysite.com");
        c.host = QStringLiteral("partner%1.org").arg(i);
        c.linkingSiteUrl = c.host + QStringLiteral("/links.htm");
        const quint32 roll = random.bounded(1000);
        if (roll < 65) {
            c.reason = roll < 60 ? QStringLiteral("Timeout") : QStringLiteral("Skipped");
            c.skipped = roll >= 60;
            c.outcome = QStringLiteral("None Found (%1)").arg(c.reason);
            c.rows.append(LinkResult{1, c.mainSite, c.host, c.outcome, QStringLiteral("000"), c.host, RowColour::Red});
        } else if (roll < 80) {
            c.checked = true;
            c.outcome = QStringLiteral("None Found");
            c.rows.append(LinkResult{1, c.mainSite, c.host, c.outcome, QStringLiteral("000"), c.host, RowColour::Red});
        } else {
            c.checked = true;
            c.outcome = QStringLiteral("Direct Link");
            const QString page = roll < 85 ? QStringLiteral("/moved%1.htm").arg(run) : QStringLiteral("/links.htm");
            c.rows.append(LinkResult{2, c.mainSite, c.host, c.outcome, QStringLiteral("001"), c.host + page,
                                     RowColour::Blue, roll < 90 ? QStringLiteral("nofollow") : QString()});
        }
        out.append(c);
    }
    return out;
}

double ms(qint64 ns)
{
    return double(ns) / 1e6;
}

// The process's processor time: what the work costs whatever else the
// machine is running at the same time.
qint64 cpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
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

    const QString path = dir.filePath(QStringLiteral("big.history.sqlite"));
    QRandomGenerator random(16);
    QList<qint64> storeNs, storeCpuNs;
    QElapsedTimer t;
    {
        HistoryDatabase db(path);
        for (int r = 0; r < runs; ++r) {
            const QList<SiteConclusion> concluded = scanSites(sites, r, random);
            t.start();
            const qint64 cpu = cpuNs();
            RunRecord run;
            run.info.started = run.info.finished = QDateTime::currentDateTimeUtc();
            run.info.settings = RunCapture::settingsInEffect();
            for (const SiteConclusion &c : concluded)
                run.sites.append(RunCapture::recordOf(c));
            const qint64 id = db.storeRun(run);
            storeNs.append(t.nsecsElapsed());
            storeCpuNs.append(cpuNs() - cpu);
            if (id == 0) {
                std::fprintf(stderr, "run %d not stored: %s\n", r + 1, qPrintable(db.errorText()));
                return 1;
            }
        }
    }
    std::sort(storeNs.begin(), storeNs.end());
    std::sort(storeCpuNs.begin(), storeCpuNs.end());
    std::printf("store one run of %d Linking Sites (rows to records, one transaction): median %.1f ms "
                "(fastest %.1f, slowest %.1f; processor time median %.1f ms) over %d runs\n",
                sites, ms(storeNs.at(storeNs.size() / 2)), ms(storeNs.first()), ms(storeNs.last()),
                ms(storeCpuNs.at(storeCpuNs.size() / 2)), runs);

    HistoryDatabase db(path);
    const qint64 last = db.latestRunId();
    const int repeats = 5;
    struct Best { qint64 wall = std::numeric_limits<qint64>::max(); qint64 cpu = std::numeric_limits<qint64>::max(); };
    Best best[3];
    int changes = 0, points = 0, entries = 0;
    auto measure = [&](Best &b, const std::function<void()> &work) {
        t.start();
        const qint64 cpu = cpuNs();
        work();
        b.wall = std::min(b.wall, t.nsecsElapsed());
        b.cpu = std::min(b.cpu, cpuNs() - cpu);
    };
    for (int i = 0; i < repeats; ++i) {
        measure(best[0], [&] { changes = int(db.changesOf(last).changes.size()); });
        measure(best[1], [&] { points = int(db.chart(QStringLiteral("mysite.com")).size()); });
        measure(best[2], [&] {
            const QString partner = QStringLiteral("partner5000.org/links.htm");
            entries = int(db.siteHistory(QStringLiteral("mysite.com"), partner).size());
        });
    }
    std::printf("changes of the last run against %d runs: %.1f ms (processor %.1f ms; %d changes)\n", runs,
                ms(best[0].wall), ms(best[0].cpu), changes);
    std::printf("chart of the Main Site over %d runs: %.1f ms (processor %.1f ms; %d points)\n", runs,
                ms(best[1].wall), ms(best[1].cpu), points);
    std::printf("one Linking Site run by run: %.1f ms (processor %.1f ms; %d runs)\n", ms(best[2].wall),
                ms(best[2].cpu), entries);
    std::printf("(fastest of %d each)\n", repeats);
    return 0;
}
