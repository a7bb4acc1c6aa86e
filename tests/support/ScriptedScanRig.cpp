#include "support/ScriptedScanRig.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QtTest>

ScriptedScanRig::ScriptedScanRig(int timeOutSeconds)
{
    engine.setPort(server.port());
    env.writeFile(QStringLiteral("filetypes.txt"), ".html\r\n.htm\r\n");
    SettingsStore::instance().write(Keys::txtTimeout, QString::number(timeOutSeconds));
    main = project.addMainSite(QString::fromLatin1(kMainSite));
}

int ScriptedScanRig::addSite(const QString &url, const QString &expected)
{
    const int row = project.addLinkingSite(main, url);
    LinkingSite site = project.linkingSites(main).at(row);
    site.linksExpected = expected;
    project.updateLinkingSite(main, row, site);
    return row;
}

bool ScriptedScanRig::run(int timeoutMs)
{
    const int stopsBefore = frontEnd.stops;
    engine.startScan();
    QElapsedTimer clock;
    clock.start();
    while (engine.isScanning() && clock.elapsed() < timeoutMs)
        QTest::qWait(5);
    return !engine.isScanning() && frontEnd.stops > stopsBefore;
}

QStringList ScriptedScanRig::rows() const
{
    QStringList list;
    for (const LinkResult &r : project.results())
        list << QStringList{r.status, r.number, r.remoteSite, r.url}.join(QLatin1Char('|'));
    return list;
}

QStringList ScriptedScanRig::errors() const
{
    QStringList list;
    for (const ErrorEntry &e : project.errors())
        list << e.error + QLatin1Char('|') + e.url;
    return list;
}

// The path of each request line ("GET /a.html HTTP/1.1").
QStringList ScriptedScanRig::requestedPaths() const
{
    QStringList paths;
    for (const QByteArray &request : server.requests()) {
        const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
        paths << (words.size() >= 2 ? QString::fromLatin1(words.at(1)) : QString());
    }
    return paths;
}
