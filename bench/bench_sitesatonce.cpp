// Scans of thousands of generated site farms, each at 1, 8 and 64 Linking
// Sites at once, by the built reciplex-scan: every file a scan writes (cache
// files included), its exit status and what it prints must be the same
// whatever the number, every scan must end, and no host may see more than
// two connections at once. The farms mix plain and https partners (typed
// with https, or moved there by their start page), partners sharing hosts,
// redirects and redirect pages to other hosts, a host that refuses and a slow
// one, a silent page, a slow robots.txt, rules, odd numbers of links expected
// and projects that carry the results of an earlier scan.
//
//   bench_sitesatonce [FIRST_SEED] [COUNT] [LANES]
//     defaults 1, 100 and 3: LANES farms scan side by side, each on its own ports.
#include "support/FarmRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

const int kSitesAtOnce[] = {1, 8, 64};

struct Totals
{
    int projects = 0;
    int sites = 0;
    int equal = 0;
    int mostAtOnce = 0;
    qint64 msAt[3] = {0, 0, 0};
    qint64 longestMs = 0;
    QStringList failures;
};

// One farm scanning its projects one after another.
class Lane : public QObject
{
public:
    Lane(int index, const QString &folder, Totals &totals, std::function<quint32()> nextSeed)
        : m_index(index), m_folder(folder), m_totals(totals), m_nextSeed(std::move(nextSeed))
    {
        m_farm = std::make_unique<SiteFarmServer>(12);
        m_farm->setDelayRange(5);
        if (!m_farm->isListening()
            || !m_farm->enableTls(QStringLiteral(RECIPLEX_TEST_DATA "/tls/loopback.crt"),
                                  QStringLiteral(RECIPLEX_TEST_DATA "/tls/loopback.key")))
            qFatal("lane %d: the farm does not listen: %s", index, qPrintable(m_farm->failure()));
    }

    void nextProject()
    {
        const quint32 seed = m_nextSeed();
        if (seed == 0) {
            m_done = true;
            QCoreApplication::instance()->exit(0); // checked by the caller
            return;
        }
        m_seed = seed;
        m_layout = m_farm->generate(seed, true);
        m_project = m_folder + QStringLiteral("/farm.prj");
        writeFarmProject(m_layout, m_project, seed % 2 == 0);
        m_step = 0;
        m_runs.clear();
        runNext();
    }
    bool done() const { return m_done; }

private:
    void runNext()
    {
        m_farm->resetCounts();
        FarmRun::Setup setup;
        setup.project = m_project;
        setup.folder = m_folder + QStringLiteral("/at%1").arg(kSitesAtOnce[m_step]);
        setup.port = m_farm->port();
        setup.tlsPort = m_farm->tlsPort();
        setup.sitesAtOnce = kSitesAtOnce[m_step];
        // A start page not read is tried again after a second (FarmRun's 0 turned on).
        setup.settings = {QStringLiteral("IgnoreCertificateErrors=1"), QStringLiteral("RetryDelay=1")};
        m_run = std::make_unique<FarmRun>(setup);
        connect(m_run.get(), &FarmRun::finished, this, [this] { runDone(); });
        m_run->start();
    }

    void runDone()
    {
        m_totals.msAt[m_step] += m_run->elapsedMs();
        m_totals.longestMs = qMax(m_totals.longestMs, m_run->elapsedMs());
        m_totals.mostAtOnce = qMax(m_totals.mostAtOnce, m_farm->mostAtOnceOnOneHost());
        if (m_farm->mostAtOnceOnOneHost() > 2)
            fail(QStringLiteral("seed %1 at %2: %3 connections at once on one host")
                     .arg(m_seed).arg(kSitesAtOnce[m_step]).arg(m_farm->mostAtOnceOnOneHost()));
        m_runs.append(m_run->files());
        m_run.reset();
        if (++m_step < 3) {
            runNext();
            return;
        }
        ++m_totals.projects;
        m_totals.sites += farmSiteCount(m_layout);
        bool same = true;
        for (int i = 1; i < 3; ++i) {
            const QString difference = firstDifference(m_runs.at(0), m_runs.at(i));
            if (!difference.isEmpty()) {
                same = false;
                fail(QStringLiteral("seed %1 at %2: %3").arg(m_seed).arg(kSitesAtOnce[i]).arg(difference));
            }
        }
        if (m_runs.at(0).value(QStringLiteral("exit status")).startsWith('('))
            fail(QStringLiteral("seed %1: %2").arg(m_seed).arg(QString::fromLatin1(m_runs.at(0).value(QStringLiteral("exit status")))));
        m_totals.equal += same ? 1 : 0;
        if (m_totals.projects % 25 == 0)
            std::fprintf(stderr, "%d projects, %d equal, %lld failures\n", m_totals.projects, m_totals.equal,
                         qlonglong(m_totals.failures.size()));
        QMetaObject::invokeMethod(this, [this] { nextProject(); }, Qt::QueuedConnection);
    }

    void fail(const QString &what)
    {
        m_totals.failures << what;
        std::fprintf(stderr, "FAIL %s\n", qPrintable(what));
    }

    int m_index;
    QString m_folder;
    Totals &m_totals;
    std::function<quint32()> m_nextSeed;
    std::unique_ptr<SiteFarmServer> m_farm;
    SiteFarmServer::Layout m_layout;
    QString m_project;
    quint32 m_seed = 0;
    int m_step = 0;
    QList<RunFiles> m_runs;
    std::unique_ptr<FarmRun> m_run;
    bool m_done = false;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const quint32 first = args.size() > 1 ? args.at(1).toUInt() : 1;
    const int count = args.size() > 2 ? args.at(2).toInt() : 100;
    const int lanes = args.size() > 3 ? qBound(1, args.at(3).toInt(), 8) : 3;
    QTemporaryDir dir;
    Totals totals;
    quint32 next = qMax<quint32>(1, first);
    const quint32 end = next + quint32(count);
    const auto nextSeed = [&]() -> quint32 { return next < end ? next++ : 0; };

    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<Lane>> all;
    for (int i = 0; i < lanes; ++i) {
        const QString folder = dir.filePath(QStringLiteral("lane%1").arg(i));
        QDir().mkpath(folder);
        all.push_back(std::make_unique<Lane>(i, folder, totals, nextSeed));
    }
    for (auto &lane : all)
        QMetaObject::invokeMethod(lane.get(), [l = lane.get()] { l->nextProject(); }, Qt::QueuedConnection);
    // Each lane that runs out of seeds ends the loop once; wait for all.
    for (;;) {
        app.exec();
        bool allDone = true;
        for (auto &lane : all)
            allDone = allDone && lane->done();
        if (allDone)
            break;
    }

    std::printf("projects %d, Linking Sites %d, equal at 1, 8 and 64: %d\n", totals.projects, totals.sites, totals.equal);
    std::printf("most connections at once on one host: %d\n", totals.mostAtOnce);
    std::printf("scan time in all: %.1f s at 1, %.1f s at 8, %.1f s at 64; longest scan %.1f s; wall %.1f s\n",
                totals.msAt[0] / 1000.0, totals.msAt[1] / 1000.0, totals.msAt[2] / 1000.0, totals.longestMs / 1000.0,
                clock.elapsed() / 1000.0);
    for (const QString &f : std::as_const(totals.failures))
        std::printf("FAIL %s\n", qPrintable(f));
    return totals.failures.isEmpty() ? 0 : 1;
}
