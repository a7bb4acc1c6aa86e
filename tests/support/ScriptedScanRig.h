#pragma once

#include "support/ScanRigBase.h"
#include "support/ScriptedHttpServer.h"

// A whole scan against the scripted loopback server, with one Main Site. The
// server answers the connections in order with the replies queued on it.
// Link notes are off (chkLinkNotes "0"): no robots.txt request takes a reply.
struct ScriptedScanRig : ScanRigBase
{
    ScriptedHttpServer server;
    int main = -1;

    explicit ScriptedScanRig(int timeOutSeconds = 1);
    int addSite(const QString &url, const QString &expected = QStringLiteral("1"));
    QStringList requestedPaths() const;
};
