#include "support/ScanRigBase.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QEventLoop>
#include <QTimer>
#include <QtTest>

ScanRigBase::ScanRigBase(int timeOutSeconds)
{
    env.writeFile(QStringLiteral("filetypes.txt"), ".html\r\n.htm\r\n");
    SettingsStore::instance().write(Keys::txtTimeout, QString::number(timeOutSeconds));
    // A start page not read is tried once more only where a test asks for it.
    SettingsStore::instance().write(Keys::RetryDelay, QStringLiteral("0"));
}

int ScanRigBase::addSite(int main, const QString &url, const QString &expected)
{
    const int row = project.addLinkingSite(main, url);
    LinkingSite site = project.linkingSites(main).at(row);
    site.linksExpected = expected;
    project.updateLinkingSite(main, row, site);
    return row;
}

bool ScanRigBase::run(int timeoutMs)
{
    const int stopsBefore = frontEnd.stops;
    engine.startScan();
    // A loop of its own rather than waits with sleeps in between: a scan
    // moves on through queued events, each of which a sleep would delay.
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!engine.isScanning() || clock.elapsed() >= timeoutMs)
            loop.quit();
    });
    poll.start();
    if (engine.isScanning())
        loop.exec();
    return !engine.isScanning() && frontEnd.stops > stopsBefore;
}

QStringList ScanRigBase::rows() const
{
    QStringList list;
    for (const LinkResult &r : project.results())
    {
        QStringList fields{r.status, r.number, r.remoteSite, r.url};
        if (!r.notes.isEmpty())
            fields << r.notes;
        list << fields.join(QLatin1Char('|'));
    }
    return list;
}

QStringList ScanRigBase::errors() const
{
    QStringList list;
    for (const ErrorEntry &e : project.errors())
        list << e.error + QLatin1Char('|') + e.url;
    return list;
}
