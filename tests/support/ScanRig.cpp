#include "support/ScanRig.h"

ScanRig::ScanRig() : ScanRigBase(5)
{
    engine.setPort(nginx.port());
}

int ScanRig::addMain(const QString &url)
{
    return project.addMainSite(url);
}
