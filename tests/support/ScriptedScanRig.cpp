#include "support/ScriptedScanRig.h"

ScriptedScanRig::ScriptedScanRig(int timeOutSeconds) : ScanRigBase(timeOutSeconds)
{
    engine.setPort(server.port());
    main = project.addMainSite(QString::fromLatin1(kMainSite));
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
