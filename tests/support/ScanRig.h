#pragma once

#include "model/Project.h"
#include "scan/ScanEngine.h"
#include "support/NginxRunner.h"
#include "support/RecordingFrontEnd.h"
#include "support/TestEnv.h"

#include <QStringList>

// A whole scan set up for a test: isolated settings and program folder, the
// fixture site served by nginx, a project, a recording front end and the
// engine pointed at nginx's port.
struct ScanRig
{
    static constexpr const char *kMainSite = "http://www.mysite.com/links.htm";

    TestEnv env;
    NginxRunner nginx{QStringLiteral(RECIPLEX_TEST_DATA "/site")};
    Project project;
    RecordingFrontEnd frontEnd;
    ScanEngine engine{project, frontEnd};

    ScanRig();
    int addMain(const QString &url = QString::fromLatin1(kMainSite));
    int addSite(int main, const QString &url, const QString &expected = QStringLiteral("1"));
    // Starts the scan and waits until it has stopped; false on time-out.
    bool run(int timeoutMs = 15000);
    // "status|number|remote|url" per result row.
    QStringList rows() const;
    QStringList errors() const; // "error|url"
};
