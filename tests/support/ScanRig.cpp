#include "support/ScanRig.h"

ScanRig::ScanRig(const NginxRunner::Options &options)
    : ScanRigBase(5)
    , nginx(QStringLiteral(RECIPLEX_TEST_DATA "/site"), options)
{
    engine.setPort(nginx.port());
    if (nginx.tlsPort() != 0)
        engine.setTlsPort(nginx.tlsPort());
}

int ScanRig::addMain(const QString &url)
{
    return project.addMainSite(url);
}
