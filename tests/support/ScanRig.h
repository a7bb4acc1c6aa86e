#pragma once

#include "support/NginxRunner.h"
#include "support/ScanRigBase.h"

// A whole scan against the fixture site served by nginx.
struct ScanRig : ScanRigBase
{
    NginxRunner nginx{QStringLiteral(RECIPLEX_TEST_DATA "/site")};

    ScanRig();
    int addMain(const QString &url = QString::fromLatin1(kMainSite));
    bool run(int timeoutMs = 15000) { return ScanRigBase::run(timeoutMs); }
};
