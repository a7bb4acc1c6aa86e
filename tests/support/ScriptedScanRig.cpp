#include "support/ScriptedScanRig.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

ScriptedScanRig::ScriptedScanRig(int timeOutSeconds) : ScanRigBase(timeOutSeconds)
{
    engine.setPort(server.port());
    main = project.addMainSite(QString::fromLatin1(kMainSite));
    // The replies are the pages' in turn: a robots.txt request would take
    // one. A test of robots.txt turns the notes on and scripts its reply.
    SettingsStore::instance().write(Keys::chkLinkNotes, QStringLiteral("0"));
}

int ScriptedScanRig::addSite(const QString &url, const QString &expected)
{
    return ScanRigBase::addSite(main, url, expected);
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
