#pragma once

#include "support/NginxRunner.h"
#include "support/ScanRigBase.h"

// A whole scan against the fixture site served by nginx.
struct ScanRig : ScanRigBase
{
    NginxRunner nginx;

    // With TLS options nginx serves the site over TLS too, on the engine's TLS port.
    explicit ScanRig(const NginxRunner::Options &options = NginxRunner::Options());
    int addMain(const QString &url = QString::fromLatin1(kMainSite));
    bool run(int timeoutMs = 15000) { return ScanRigBase::run(timeoutMs); }
};
