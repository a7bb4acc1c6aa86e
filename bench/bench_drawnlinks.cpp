// What drawing pages costs a scan: 100 partners (SITES), each on a host of
// its own, of which one in ten draws its link with a script and the others
// have it in their HTML. The same project is scanned with RenderJavaScript
// "0" and "1" (8 sites at once); prints both wall times and how the
// partners ended.
//
//   bench_drawnlinks [SITES]
#include "support/FarmRun.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMap>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QMap<QString, int> outcomes(const QByteArray &tab)
{
    QMap<QString, int> counts;
    for (const QByteArray &line : tab.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() > 2 && fields.at(0).startsWith("mysite.com"))
            ++counts[QString::fromLatin1(fields.at(2)).trimmed()];
    }
    return counts;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int sites = args.size() > 1 ? qBound(10, args.at(1).toInt(), 250) : 100;
    SiteFarmServer farm(sites);
    if (!farm.isListening())
        qFatal("the farm does not listen: %s", qPrintable(farm.failure()));
    farm.setDelayRange(5);

    SiteFarmServer::Answer inHtml;
    inHtml.statusLine = "HTTP/1.1 200 OK";
    inHtml.extraHeaders = "Content-Type: text/html\r\n";
    inHtml.body = "<html><body><p><a href=\"http://www.mysite.com/links.htm\">My Site</a></p></body></html>";
    SiteFarmServer::Answer drawn = inHtml;
    drawn.body = "<html><body><p id=p></p><script>var a = document.createElement('a');"
                 "a.href = 'http://www.mysite' + '.com/links.htm'; a.textContent = 'My Site';"
                 "document.getElementById('p').appendChild(a);</script></body></html>";
    SiteFarmServer::Layout layout;
    MainSite main;
    main.url = QStringLiteral("http://www.mysite.com/links.htm");
    for (int i = 0; i < sites; ++i) {
        farm.setPage(i, "/", i % 10 == 9 ? drawn : inHtml);
        main.linkingSites.append(farmSite(SiteFarmServer::hostName(i) + QStringLiteral("/")));
    }
    layout.mainSites = {main};

    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("drawn.prj"));
    writeFarmProject(layout, project);
    for (const char *render : {"0", "1"}) {
        FarmRun::Setup setup;
        setup.project = project;
        setup.folder = dir.filePath(QStringLiteral("run%1").arg(QLatin1String(render)));
        setup.port = farm.port();
        setup.sitesAtOnce = 8;
        setup.settings = {QStringLiteral("RenderJavaScript=%1").arg(QLatin1String(render)), QStringLiteral("txtTimeout=30")};
        FarmRun run(setup);
        QEventLoop loop;
        QObject::connect(&run, &FarmRun::finished, &loop, &QEventLoop::quit);
        run.start();
        loop.exec();
        const RunFiles &files = run.files();
        std::printf("RenderJavaScript=%s: %.2f s\n", render, run.elapsedMs() / 1000.0);
        const QMap<QString, int> counts = outcomes(files.value(QStringLiteral("out.tab")));
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            std::printf("  %4d  %s\n", it.value(), qPrintable(it.key()));
    }
    return 0;
}
