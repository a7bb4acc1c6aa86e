// Peak memory of reciplex-scan when every Linking Site answers a page of the
// full 16 MiB and the first site keeps the scan waiting (silent until its
// time-out of 10 s), so the others finish ahead of their turn and wait to be
// committed: at 1, 8 and 64 sites at once, the wall time and the peak
// resident memory (/usr/bin/time -v) of each scan.
//
//   bench_bigpages [SITES]   default 200 sites, each on a loopback address of its own
#include "support/FarmRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int sites = app.arguments().size() > 1 ? qBound(2, app.arguments().at(1).toInt(), 250) : 200;
    SiteFarmServer farm(sites);
    if (!farm.isListening())
        qFatal("the farm does not listen: %s", qPrintable(farm.failure()));
    farm.setDelayRange(0);

    SiteFarmServer::Layout layout;
    MainSite main;
    main.url = QStringLiteral("http://www.mysite.com/links.htm");
    SiteFarmServer::Answer silent;
    silent.silent = true;
    farm.setPage(0, "/", silent);
    main.linkingSites.append(farmSite(SiteFarmServer::hostName(0) + QStringLiteral("/")));
    SiteFarmServer::Answer big;
    big.body = QByteArray(16 * 1024 * 1024, 'x'); // shared by every page
    for (int h = 1; h < sites; ++h) {
        farm.setPage(h, "/", big);
        main.linkingSites.append(farmSite(SiteFarmServer::hostName(h) + QStringLiteral("/")));
    }
    layout.mainSites = {main};

    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("big.prj"));
    writeFarmProject(layout, project);
    std::printf("%d Linking Sites of one 16 MiB page each, the first silent for 10 s\n", sites);
    // AT="64" measures one of them only.
    QList<int> counts = {1, 8, 64};
    if (const QString at = qEnvironmentVariable("AT"); !at.isEmpty()) {
        counts.clear();
        for (const QString &n : at.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            counts.append(n.toInt());
    }
    for (const int atOnce : std::as_const(counts)) {
        const QString folder = dir.filePath(QStringLiteral("at%1").arg(atOnce));
        QDir().mkpath(folder + QStringLiteral("/program"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral("/usr/bin/time"),
                      {"-v", QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"), "--quiet", "--port",
                       QString::number(farm.port()), "--program-folder", folder + QStringLiteral("/program"), "--set",
                       "txtTimeout=10", "--set", QStringLiteral("SitesAtOnce=%1").arg(atOnce), project});
        QElapsedTimer clock;
        clock.start();
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        loop.exec();
        const QString report = QString::fromLocal8Bit(process.readAllStandardError());
        const auto peak = QRegularExpression(QStringLiteral("Maximum resident set size \\(kbytes\\): (\\d+)")).match(report);
        std::printf("at %2d: %6.1f s, peak memory %7.1f MiB\n", atOnce, clock.elapsed() / 1000.0,
                    peak.hasMatch() ? peak.captured(1).toDouble() / 1024.0 : -1.0);
        std::fflush(stdout);
    }
    return 0;
}
