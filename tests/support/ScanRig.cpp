#include "support/ScanRig.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QtTest>

ScanRig::ScanRig()
{
    engine.setPort(nginx.port());
    env.writeFile(QStringLiteral("filetypes.txt"), ".html\r\n.htm\r\n");
    SettingsStore::instance().write(Keys::txtTimeout, QStringLiteral("5"));
}

int ScanRig::addMain(const QString &url)
{
    return project.addMainSite(url);
}

int ScanRig::addSite(int main, const QString &url, const QString &expected)
{
    const int row = project.addLinkingSite(main, url);
    LinkingSite site = project.linkingSites(main).at(row);
    site.linksExpected = expected;
    project.updateLinkingSite(main, row, site);
    return row;
}

bool ScanRig::run(int timeoutMs)
{
    const int stopsBefore = frontEnd.stops;
    engine.startScan();
    QElapsedTimer clock;
    clock.start();
    while (engine.isScanning() && clock.elapsed() < timeoutMs)
        QTest::qWait(5);
    return !engine.isScanning() && frontEnd.stops > stopsBefore;
}

QStringList ScanRig::rows() const
{
    QStringList list;
    for (const LinkResult &r : project.results())
        list << QStringList{r.status, r.number, r.remoteSite, r.url}.join(QLatin1Char('|'));
    return list;
}

QStringList ScanRig::errors() const
{
    QStringList list;
    for (const ErrorEntry &e : project.errors())
        list << e.error + QLatin1Char('|') + e.url;
    return list;
}
