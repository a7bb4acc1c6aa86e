// A project whose partners mostly cannot be read: of SITES partners (default
// 200) a quarter refuse the connection, a quarter have names that do not
// resolve, a quarter answer 429 Too Many Requests with Retry-After: 1 every
// time, and a quarter link back. With a time-out of 30 s, each unreadable
// partner must say why at once, not after its time-out. Prints the wall time
// of the scan and how each partner ended.
//
//   bench_unreachable [SITES] [SCANNER]   SCANNER: another reciplex-scan to time (an older build)
#include "support/FarmRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int sites = args.size() > 1 ? qBound(4, args.at(1).toInt(), 400) : 200;
    const QString scanner = args.size() > 2 ? args.at(2) : QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan");
    const int quarter = sites / 4;
    SiteFarmServer farm(2 * quarter);
    if (!farm.isListening())
        qFatal("the farm does not listen: %s", qPrintable(farm.failure()));
    farm.setDelayRange(5);

    SiteFarmServer::Layout layout;
    MainSite main;
    main.url = QStringLiteral("http://www.mysite.com/links.htm");
    SiteFarmServer::Answer busy;
    busy.statusLine = "HTTP/1.1 429 Too Many Requests";
    busy.extraHeaders = "Retry-After: 1\r\n";
    busy.body = "Slow down.";
    SiteFarmServer::Answer linked;
    linked.body = "<p><a href=\"http://www.mysite.com/links.htm\">My Site</a></p>";
    for (int i = 0; i < quarter; ++i) {
        // Loopback addresses nothing listens on, names with an empty label
        // (they fail without asking a name server), and the farm's hosts.
        main.linkingSites.append(farmSite(QStringLiteral("127.0.1.%1/").arg(i + 1)));
        main.linkingSites.append(farmSite(QStringLiteral("partner%1..invalid/").arg(i)));
        farm.setPage(i, "/", busy);
        main.linkingSites.append(farmSite(SiteFarmServer::hostName(i) + QStringLiteral("/")));
        farm.setPage(quarter + i, "/", linked);
        main.linkingSites.append(farmSite(SiteFarmServer::hostName(quarter + i) + QStringLiteral("/")));
    }
    layout.mainSites = {main};

    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("unreachable.prj"));
    writeFarmProject(layout, project);
    QDir().mkpath(dir.filePath(QStringLiteral("program")));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    process.setProcessEnvironment(env);
    process.start(scanner, {"--quiet", "--port", QString::number(farm.port()), "--program-folder",
                            dir.filePath(QStringLiteral("program")), "--set", "txtTimeout=30", "--tab",
                            dir.filePath(QStringLiteral("out.tab")), project});
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = clock.elapsed() / 1000.0;

    QFile tab(dir.filePath(QStringLiteral("out.tab")));
    QMap<QString, int> outcomes;
    if (tab.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : tab.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() > 2 && fields.at(0).startsWith("mysite.com"))
                ++outcomes[QString::fromLatin1(fields.at(2)).trimmed()];
        }
    }
    std::printf("%d partners, time-out 30 s: %.1f s (exit status %d)\n", 4 * quarter, seconds, process.exitCode());
    for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it)
        std::printf("  %4d  %s\n", it.value(), qPrintable(it.key()));
    return 0;
}
