#pragma once

#include "model/Project.h"
#include "scan/ScanRun.h"
#include "support/RecordingFrontEnd.h"
#include "support/TestEnv.h"

#include <QStringList>

// What every whole-scan test needs: isolated settings and program folder (with
// a page-type list of ".html" and ".htm"), a project, a recording front end and
// the engine. The rigs built on it add the server the engine talks to.
struct ScanRigBase
{
    static constexpr const char *kMainSite = "http://www.mysite.com/links.htm";

    TestEnv env;
    Project project;
    RecordingFrontEnd frontEnd;
    ScanRun engine{project, frontEnd};

    explicit ScanRigBase(int timeOutSeconds);
    int addSite(int main, const QString &url, const QString &expected = QStringLiteral("1"));
    // Starts the scan and waits until it has stopped; false on time-out.
    bool run(int timeoutMs);
    QStringList rows() const;   // "status|number|remote|url" per result row, "|notes" when it has any
    QStringList errors() const; // "error|url"
};
