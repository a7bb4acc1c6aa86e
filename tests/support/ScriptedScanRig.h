#pragma once

#include "model/Project.h"
#include "scan/ScanEngine.h"
#include "support/RecordingFrontEnd.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestEnv.h"

#include <QStringList>

// A whole scan against the scripted loopback server: isolated settings and
// program folder, one Main Site, a recording front end and the engine pointed
// at the server. The server answers the connections in order with the
// replies queued on it.
struct ScriptedScanRig
{
    static constexpr const char *kMainSite = "http://www.mysite.com/links.htm";

    TestEnv env;
    ScriptedHttpServer server;
    Project project;
    RecordingFrontEnd frontEnd;
    ScanEngine engine{project, frontEnd};
    int main = -1;

    explicit ScriptedScanRig(int timeOutSeconds = 1);
    int addSite(const QString &url, const QString &expected = QStringLiteral("1"));
    // Starts the scan and waits until it has stopped; false on time-out.
    bool run(int timeoutMs);
    QStringList rows() const;   // "status|number|remote|url"
    QStringList errors() const; // "error|url"
    QStringList requestedPaths() const;
};
