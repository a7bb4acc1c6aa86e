// The built reciplex-scan run against nginx: exit statuses, progress and the
// files it writes, with its own settings location; and its command line.
#include "ScanRun.h"
#include "ScheduleCommand.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "support/NginxRunner.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

struct CliRun
{
    int exitCode = -1;
    QString stdErr;
    QByteArray stdOut;
};

// The parsed options that differ from the defaults, in one line.
static QString summary(const ScanCommandLine &c)
{
    switch (c.action) {
    case ScanCommandLine::Action::Help:
        return QStringLiteral("help");
    case ScanCommandLine::Action::Version:
        return QStringLiteral("version ") + c.text;
    case ScanCommandLine::Action::Error:
        return QStringLiteral("error ") + c.text;
    case ScanCommandLine::Action::ListSchedules:
        return QStringLiteral("schedules");
    case ScanCommandLine::Action::Unschedule:
        return QStringLiteral("unschedule ") + c.options.projectPath;
    case ScanCommandLine::Action::Schedule:
        return QStringLiteral("schedule '%1' %2 options %3")
            .arg(c.options.schedule, c.options.projectPath, scheduledScanOptions(c.options).join(QLatin1Char(' ')));
    case ScanCommandLine::Action::HistoryReset:
        return QStringLiteral("history-reset %1 %2").arg(c.options.projectPath, c.options.historyPath);
    case ScanCommandLine::Action::Scan:
        break;
    }
    const ScanRunOptions &o = c.options;
    const ScanRunOptions d;
    QStringList parts{o.projectPath};
    const auto number = [&](const char *name, int value, int byDefault) {
        if (value != byDefault)
            parts << QStringLiteral("%1=%2").arg(QLatin1String(name)).arg(value);
    };
    const auto text = [&](const char *name, const QString &value) {
        if (!value.isEmpty())
            parts << QLatin1String(name) + QLatin1Char('=') + value;
    };
    number("type", o.scanType, d.scanType);
    number("main", o.mainSite, d.mainSite);
    number("linking", o.linkingSite, d.linkingSite);
    number("port", o.port, d.port);
    number("tls", o.tlsPort, d.tlsPort);
    text("set", o.settingOverrides.join(QLatin1Char(',')));
    text("folder", o.programFolder);
    text("errors", o.errorsPath);
    text("output", o.outputPath);
    text("report", o.reportPath);
    text("tab", o.tabPath);
    text("links", o.linksPagePath);
    text("log", o.postLogPath);
    text("json", o.jsonPath);
    text("history", o.historyPath);
    text("proof", o.proofFolder);
    if (o.changes)
        parts << QStringLiteral("changes");
    if (o.post)
        parts << QStringLiteral("post");
    if (o.quiet)
        parts << QStringLiteral("quiet");
    return parts.join(QLatin1Char(' '));
}

class TestScanCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<NginxRunner> m_nginx;
    std::unique_ptr<TestEnv> m_env;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString configFolder() const { return m_dir.filePath(QStringLiteral("config")); }
    QByteArray settingsText() const
    {
        QFile f(configFolder() + QStringLiteral("/Reciplex/Reciplex.ini"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString writeProject(const QStringList &sites, const QString &name = QStringLiteral("p.prj"))
    {
        Project p;
        const int m = p.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
        for (const QString &s : sites)
            p.addLinkingSite(m, s);
        const QString file = path(name);
        if (!ProjectFile::write(p, file))
            qFatal("cannot write the project");
        return file;
    }

    CliRun run(const QStringList &args)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder());
        process.setProcessEnvironment(env);
        QStringList all{QStringLiteral("--port"), QString::number(m_nginx->port()), QStringLiteral("--program-folder"),
                        m_env->programFolder()};
        process.start(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"), all + args);
        CliRun r;
        if (!process.waitForFinished(30000)) {
            process.kill();
            process.waitForFinished();
            return r;
        }
        r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        r.stdOut = process.readAllStandardOutput();
        return r;
    }

    QJsonObject readJson(const QByteArray &bytes)
    {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
        if (error.error != QJsonParseError::NoError)
            qWarning("%s in %s", qPrintable(error.errorString()), bytes.constData());
        return doc.object();
    }

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnv>();
        m_env->writeFile(QStringLiteral("filetypes.txt"), ".html\r\n.htm\r\n");
        NginxRunner::Options tls;
        tls.tlsCertificate = QStringLiteral(RECIPLEX_TEST_DATA "/tls/loopback.crt");
        tls.tlsKey = QStringLiteral(RECIPLEX_TEST_DATA "/tls/loopback.key");
        m_nginx = std::make_unique<NginxRunner>(QStringLiteral(RECIPLEX_TEST_DATA "/site"), tls);
        QVERIFY2(m_nginx->isRunning(), qPrintable(m_nginx->failure()));
    }

    void everySiteLinkedExitsZero()
    {
        const QString project = writeProject({"127.0.0.1/direct/", "127.0.0.1/domain/"});
        const QString output = path("out.prj");
        const CliRun r = run({"--output", output, "--errors", path("errors.txt"), project});
        QCOMPARE(r.exitCode, 0);
        // Progress is for a terminal only: a scheduled run says nothing.
        QCOMPARE(r.stdErr, QString());
        QCOMPARE(r.stdOut, QByteArray());

        Project saved;
        QVERIFY(ProjectFile::read(saved, output).complete);
        QCOMPARE(saved.linkingSites(0).at(0).url, QStringLiteral("127.0.0.1/direct/Page3.html"));
        QCOMPARE(saved.results().size(), 2);
        QFile errors(path("errors.txt"));
        QVERIFY(errors.open(QIODevice::ReadOnly));
        QCOMPARE(errors.readAll(), QByteArray("Error\tURL\r\n\r\n\r\n"));

        // Statistics go to the store; the project is never remembered.
        const QByteArray settings = settingsText();
        QVERIFY(settings.contains("lHistWebScanned=4")); // three pages and one
        QVERIFY(!settings.contains("LastProject"));
    }

    void aSiteWithoutLinkExitsOne()
    {
        const QString project = writeProject({"127.0.0.1/direct/", "127.0.0.1/nothere/"});
        const CliRun r = run({"--quiet", "--errors", path("errors2.txt"), project});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.stdErr, QString());
        QFile errors(path("errors2.txt"));
        QVERIFY(errors.open(QIODevice::ReadOnly));
        QCOMPARE(errors.readAll(), QByteArray("Error\tURL\r\n\r\n404 Not found\t127.0.0.1/nothere/\r\n\r\n"));
    }

    void overridesAreUsedButNotStored()
    {
        // A page limit of one leaves the link on the third page unseen.
        const QString project = writeProject({"127.0.0.1/direct/"}, "limit.prj");
        QCOMPARE(run({"--quiet", "--set", "CMBADVANCE=0", project}).exitCode, 1);
        QCOMPARE(run({"--quiet", project}).exitCode, 0);
        // An index outside the page-limit list, or no number at all, is the
        // default of 500 pages; a skip choice outside its menu is the first.
        QCOMPARE(run({"--quiet", "--set", "cmbAdvance=99", "--set", "SkipType=7", project}).exitCode, 0);
        QCOMPARE(run({"--quiet", "--set", "cmbAdvance=abc", project}).exitCode, 0);
        // Sites at once beyond its bounds is the nearest bound, not the default.
        for (const auto &[given, used] : {std::pair{"0", 1}, std::pair{"100", 64}}) {
            QCOMPARE(run({"--quiet", "--json", path("bounds.json"), "--set", QStringLiteral("SitesAtOnce=%1").arg(given),
                          project}).exitCode, 0);
            QFile json(path("bounds.json"));
            QVERIFY(json.open(QIODevice::ReadOnly));
            QCOMPARE(readJson(json.readAll()).value("settings").toObject().value("sitesAtOnce").toInt(), used);
        }
        QVERIFY(!settingsText().contains("cmbAdvance"));
        QVERIFY(!settingsText().contains("CMBADVANCE"));
    }

    // Pages of a secure site come from the TLS port given; the test authority
    // is not one the program trusts, so only IgnoreCertificateErrors lets
    // the certificate pass.
    void secureSiteOnTheTlsPort()
    {
        const QString project = writeProject({"https://127.0.0.1/direct/"}, "tls.prj");
        const QStringList tlsPort{"--tls-port", QString::number(m_nginx->tlsPort())};
        CliRun r = run(tlsPort + QStringList{"--quiet", "--errors", path("tls-errors.txt"), project});
        QCOMPARE(r.exitCode, 1);
        QFile errors(path("tls-errors.txt"));
        QVERIFY(errors.open(QIODevice::ReadOnly));
        QCOMPARE(errors.readAll(), QByteArray("Error\tURL\r\n\r\nCertificate error: the certificate is not issued by a "
                                              "trusted authority\t127.0.0.1/direct/\r\n\r\n"));
        r = run(tlsPort + QStringList{"--set", "IgnoreCertificateErrors=1", "--tab", path("tls.tab"), project});
        QCOMPARE(r.exitCode, 0);
        QFile tab(path("tls.tab"));
        QVERIFY(tab.open(QIODevice::ReadOnly));
        const QByteArray rows = tab.readAll();
        QVERIFY2(rows.contains("\tDirect Link\t"), rows.constData());

        r = run({"--tls-port", "0", project});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.stdErr.contains("--tls-port must be a port number from 1 to 65535"));
    }

    void selectedLinkingSiteOnly()
    {
        const QString project = writeProject({"127.0.0.1/nothere/", "127.0.0.1/domain/"}, "sel.prj");
        const CliRun r = run({"--scan-type", "2", "--main-site", "1", "--linking-site", "2", project});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(!r.stdErr.contains("None Found"));
    }

    // Scheduled scans keep a history beside the project once one is started;
    // a lost link exits 3 even where 1 would do.
    void historyOfScheduledScans()
    {
        const QString project = writeProject({"127.0.0.1/direct/"}, "hist.prj");
        CliRun r = run({"--quiet", "--changes", project});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.stdErr.contains("--changes needs a history"));
        QVERIFY(!QFile::exists(path("hist.history.sqlite")));

        r = run({"--quiet", "--history", path("hist.history.sqlite"), "--changes", project});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.stdOut, QByteArray());
        QVERIFY(QFile::exists(path("hist.history.sqlite")));

        // A page limit of one leaves the link on the third page unseen.
        r = run({"--quiet", "--set", "cmbAdvance=0", "--changes", "--report", path("hist-report.htm"), project});
        QCOMPARE(r.exitCode, 3);
        const QStringList lines = QString::fromLocal8Bit(r.stdOut).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.at(0).startsWith("Lost\tmysite.com/links.htm\t127.0.0.1\tDirect Link on 127.0.0.1/direct/"),
                 qPrintable(lines.at(0)));
        QFile report(path("hist-report.htm"));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QVERIFY(report.readAll().contains("<b>Lost Links</b><BR>\r\nSite: <a href='127.0.0.1'>"));

        r = run({"--quiet", "--changes", project});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.stdOut.startsWith("New\tmysite.com/links.htm\t127.0.0.1\tNone Found"), r.stdOut.constData());

        // A damaged history says so and how to move it aside; a sound one is
        // never moved; once moved, the next run starts a new history.
        r = run({"--history-reset", project});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.stdErr.contains("is not damaged"), qPrintable(r.stdErr));
        QFile damaged(path("hist.history.sqlite"));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(QByteArray(8192, 'x'));
        damaged.close();
        r = run({"--quiet", project});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.stdErr.contains("hist.history.sqlite: it is damaged (file is not a database)") && r.stdErr.contains("'reciplex-scan --history-reset "),
                 qPrintable(r.stdErr));
        r = run({"--history-reset", project});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(!QFile::exists(path("hist.history.sqlite")));
        QCOMPARE(QDir(m_dir.path()).entryList({"hist.history.sqlite.damaged-2*"}).size(), 1);
        r = run({"--quiet", "--history", path("hist.history.sqlite"), project});
        QCOMPARE(r.exitCode, 0);
    }

    // On a terminal: a line per finished site under one updating status line.
    void progressOnATerminal()
    {
        const QString project = writeProject({"127.0.0.1/direct/", "127.0.0.1/nothere/"}, "tty.prj");
        QStringList command{QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"), "--port", QString::number(m_nginx->port()),
                            "--program-folder", m_env->programFolder(), project};
        for (QString &word : command)
            word = "'" + word + "'";
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder());
        process.setProcessEnvironment(env);
        // script(1) gives the scanner a terminal and copies what it shows to stdout.
        process.start("script", {"-qec", command.join(' '), "/dev/null"});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 1);
        const QByteArray shown = process.readAllStandardOutput();
        QVERIFY2(shown.contains("\r\033[K0 of 2 Linking Sites done, "), shown.constData());
        QVERIFY(shown.contains("mysite.com/links.htm\t127.0.0.1\tDirect Link\r\n"));
        QVERIFY(shown.contains("mysite.com/links.htm\t127.0.0.1\tNone Found (404 Not found)\r\n"));
        QVERIFY(shown.contains("\r\033[K2 of 2 Linking Sites done, 5 pages, 1 links found"));
        QVERIFY(shown.endsWith("\r\033[K"));
    }

    // Every way of writing each option, and the command lines that are refused.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("parsed");
        QTest::newRow("project only") << QStringList{"p.prj"} << "p.prj";
        QTest::newRow("long, space") << QStringList{"--scan-type", "2", "--main-site", "1", "--linking-site", "3", "p.prj"}
                                     << "p.prj type=2 main=0 linking=2";
        QTest::newRow("long, equals") << QStringList{"--scan-type=1", "--main-site=2", "--port=8080", "--tls-port=8443", "p.prj"}
                                      << "p.prj type=1 main=1 port=8080 tls=8443";
        QTest::newRow("short forms")
            << QStringList{"-t", "2", "-m", "1", "-l", "4", "-s", "a=1", "-e", "e.txt", "-o", "o.prj", "-r", "r", "-j", "-", "-q", "p.prj"}
            << "p.prj type=2 main=0 linking=3 set=a=1 errors=e.txt output=o.prj report=r json=- quiet";
        QTest::newRow("short, value attached") << QStringList{"-t1", "-m2", "-qjout.json", "p.prj"}
                                               << "p.prj type=1 main=1 json=out.json quiet";
        QTest::newRow("every other option")
            << QStringList{"--program-folder", "/tmp/pf", "--tab=t", "--links-page", "l.html", "--post", "--post-log", "log.txt", "p.prj"}
            << "p.prj folder=/tmp/pf tab=t links=l.html log=log.txt post";
        QTest::newRow("options after the project") << QStringList{"p.prj", "--quiet", "--errors", "e"} << "p.prj errors=e quiet";
        QTest::newRow("a project named like an option") << QStringList{"-q", "--", "--odd.prj"} << "--odd.prj quiet";
        QTest::newRow("--set repeats, in order") << QStringList{"--set", "a=1", "-s", "b=2", "--set=c=x=y", "p.prj"}
                                                 << "p.prj set=a=1,b=2,c=x=y";
        QTest::newRow("the last of a repeated option") << QStringList{"--port", "81", "--port", "82", "p.prj"} << "p.prj port=82";
        QTest::newRow("json to stdout, posting log to a file") << QStringList{"--json", "-", "--post", "--post-log", "l", "p.prj"}
                                                               << "p.prj log=l json=- post";
        QTest::newRow("history and changes") << QStringList{"--history", "h.sqlite", "--changes", "p.prj"}
                                             << "p.prj history=h.sqlite changes";
        QTest::newRow("history with equals, json to a file") << QStringList{"--history=h.sqlite", "--changes", "-j", "s.json", "p.prj"}
                                                             << "p.prj json=s.json history=h.sqlite changes";

        QTest::newRow("schedule with the options of its runs")
            << QStringList{"--schedule", "daily 03:00", "-t1", "-m2", "--report", "/r/x.htm", "--set", "a=1", "--no-alerts", "p.prj"}
            << "schedule 'daily 03:00' p.prj options --scan-type 1 --main-site 2 --set a=1 --report /r/x.htm --no-alerts";
        QTest::newRow("unschedule") << QStringList{"--unschedule", "p.prj"} << "unschedule p.prj";
        QTest::newRow("schedules") << QStringList{"--schedules"} << "schedules";
        QTest::newRow("schedules of a project") << QStringList{"--schedules", "p.prj"}
                                                << "error --schedules takes no project and no other schedule option";
        QTest::newRow("schedule and unschedule") << QStringList{"--schedule=hourly", "--unschedule", "p.prj"}
                                                 << "error --schedule and --unschedule cannot be combined";
        QTest::newRow("schedule without a project") << QStringList{"--schedule", "hourly"} << "error no project file given";

        QTest::newRow("--help") << QStringList{"--help"} << "help";
        QTest::newRow("-h with others") << QStringList{"-h", "--bad-port", "p.prj"} << "error Unknown option 'bad-port'.";
        QTest::newRow("-h") << QStringList{"-h", "p.prj"} << "help";
        QTest::newRow("--help-all with a project: no scan") << QStringList{"--help-all", "p.prj"} << "help";
        QTest::newRow("history reset") << QStringList{"--history-reset", "--history", "h.sqlite", "p.prj"}
                                       << "history-reset p.prj h.sqlite";
        QTest::newRow("history reset and a schedule") << QStringList{"--history-reset", "--unschedule", "p.prj"}
                                                      << "error --history-reset cannot be combined with a schedule option";
        QTest::newRow("--version") << QStringList{"--version"} << "version reciplex-scan 3.0";
        QTest::newRow("-v") << QStringList{"-v"} << "version reciplex-scan 3.0";

        QTest::newRow("unknown option") << QStringList{"--bogus", "p.prj"} << "error Unknown option 'bogus'.";
        QTest::newRow("unknown short option") << QStringList{"-x", "p.prj"} << "error Unknown option 'x'.";
        QTest::newRow("missing value") << QStringList{"p.prj", "--port"} << "error Missing value after '--port'.";
        QTest::newRow("a flag with a value") << QStringList{"--quiet=yes", "p.prj"} << "error Unexpected value after '--quiet'.";
        QTest::newRow("scan type 3") << QStringList{"--scan-type", "3", "p.prj"} << "error --scan-type must be 0, 1 or 2";
        QTest::newRow("scan type text") << QStringList{"-t", "all", "p.prj"} << "error --scan-type must be 0, 1 or 2";
        QTest::newRow("main site 0") << QStringList{"--main-site=0", "p.prj"} << "error --main-site must be a position from 1";
        QTest::newRow("linking site -1") << QStringList{"--linking-site", "-1", "p.prj"}
                                         << "error --linking-site must be a position from 1";
        QTest::newRow("port 65536") << QStringList{"--port", "65536", "p.prj"}
                                    << "error --port must be a port number from 1 to 65535";
        QTest::newRow("tls port 0") << QStringList{"--tls-port", "0", "p.prj"}
                                    << "error --tls-port must be a port number from 1 to 65535";
        QTest::newRow("--set without =") << QStringList{"--set", "chkLog", "p.prj"} << "error --set needs KEY=VALUE";
        QTest::newRow("--set without key") << QStringList{"-s", "=1", "p.prj"} << "error --set needs KEY=VALUE";
        QTest::newRow("no project") << QStringList{"--quiet"} << "error no project file given";
        QTest::newRow("two projects") << QStringList{"a.prj", "b.prj"} << "error only one project file may be given";
        QTest::newRow("json and posting log both on stdout")
            << QStringList{"--json", "-", "--post", "p.prj"}
            << "error --json - and --post without --post-log would both write to stdout";
        QTest::newRow("json and changes both on stdout") << QStringList{"--changes", "-j", "-", "p.prj"}
                                                         << "error --json - and --changes would both write to stdout";
        QTest::newRow("history without its file") << QStringList{"p.prj", "--history"}
                                                  << "error Missing value after '--history'.";
        QTest::newRow("proof folder, made absolute") << QStringList{"--proof", "/tmp/shots/../proof", "-s", "a=1", "p.prj"}
                                                     << "p.prj set=a=1,ProofShots=1 proof=/tmp/proof";
        QTest::newRow("proof folder relative") << QStringList{"--proof=shots", "p.prj"}
                                               << "p.prj set=ProofShots=1 proof=" + QDir::currentPath() + "/shots";
        QTest::newRow("proof without a folder") << QStringList{"--proof=", "p.prj"} << "error --proof needs a folder";
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, parsed);
        QCOMPARE(summary(parseScanCommandLine(QStringList{"reciplex-scan"} + arguments)), parsed);
    }

    // What the built program prints for each kind of command line, and where.
    void helpVersionAndErrors()
    {
        CliRun r = run({"--help"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.stdErr, QString());
        QVERIFY2(r.stdOut.startsWith("Usage: reciplex-scan [options] PROJECT\n"), r.stdOut.constData());
        for (const char *option : {"-t, --scan-type <N>", "--tls-port <N>", "-j, --json <FILE>", "--history <FILE>", "--changes",
                                   "-q, --quiet", "Exit status:", "  3  a link was lost since the previous run"})
            QVERIFY2(r.stdOut.contains(option), option);

        // Every --set key offered to the completion, in the help's Values.
        for (const char *values : {"\nValues:\n  --scan-type: 0 1 2\n", "  --sites-at-once: 1 to 64\n", " HistoryKeepRuns="})
            QVERIFY2(r.stdOut.contains(values), values);

        r = run({"-v"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.stdOut, QByteArray("reciplex-scan 3.0\n"));

        r = run({"--scan-type=9", "p.prj"});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(r.stdOut, QByteArray());
        QCOMPARE(r.stdErr, QString("reciplex-scan: --scan-type must be 0, 1 or 2\nusage: reciplex-scan [options] PROJECT\n"
                                   "Try 'reciplex-scan --help' for more information.\n"));
    }

    // The JSON document of a finished scan: every member of the schema in
    // README.md, with its type, and what the scan found per Linking Site.
    void jsonDocument()
    {
        Project p;
        const int m = p.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
        p.addLinkingSite(m, QStringLiteral("127.0.0.1/direct/"));
        const int missing = p.addLinkingSite(m, QStringLiteral("127.0.0.1/missing/"));
        LinkingSite three = p.linkingSites(m).at(missing);
        three.linksExpected = QStringLiteral("3");
        p.updateLinkingSite(m, missing, three);
        p.addLinkingSite(m, QStringLiteral("127.0.0.1/nothere/"));
        const QString project = path(QStringLiteral("json.prj"));
        QVERIFY(ProjectFile::write(p, project));

        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const CliRun r = run({"--json", path("scan.json"), "--set", "txtTimeout=30", project});
        QCOMPARE(r.exitCode, 1);
        QFile file(path("scan.json"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject doc = readJson(file.readAll());

        // [member, type] of the document, of "settings", "statistics", each site, row and error.
        const QList<QPair<QString, QJsonValue::Type>> topMembers{
            {"formatVersion", QJsonValue::Double}, {"project", QJsonValue::String},  {"started", QJsonValue::String},
            {"finished", QJsonValue::String},      {"settings", QJsonValue::Object}, {"statistics", QJsonValue::Object},
            {"linkingSites", QJsonValue::Array},   {"errors", QJsonValue::Array},    {"exitStatus", QJsonValue::Double},
            {"history", QJsonValue::Null},         {"changesSince", QJsonValue::Null}, {"changes", QJsonValue::Array}};
        const QList<QPair<QString, QJsonValue::Type>> settingsMembers{
            {"scanType", QJsonValue::Double},        {"mainSite", QJsonValue::Null},          {"linkingSite", QJsonValue::Null},
            {"port", QJsonValue::Double},            {"tlsPort", QJsonValue::Double},         {"pageLimit", QJsonValue::Double},
            {"skipType", QJsonValue::Double},        {"timeout", QJsonValue::Double},         {"stopAtPageLimit", QJsonValue::Bool},
            {"stopWhenLinksFound", QJsonValue::Bool}, {"filterPageTypes", QJsonValue::Bool},  {"pageTypes", QJsonValue::Array},
            {"updateUrls", QJsonValue::Bool},        {"redirectLinks", QJsonValue::Bool},     {"logRules", QJsonValue::Bool},
            {"linkNotes", QJsonValue::Bool},         {"anchorText", QJsonValue::Bool},        {"sitesAtOnce", QJsonValue::Double}, {"retryDelay", QJsonValue::Double},
            {"overrides", QJsonValue::Object}};
        const QList<QPair<QString, QJsonValue::Type>> statisticsMembers{
            {"mainSites", QJsonValue::Double}, {"linkingSites", QJsonValue::Double}, {"pagesScanned", QJsonValue::Double},
            {"pagesFound", QJsonValue::Double}, {"linksFound", QJsonValue::Double}};
        const QList<QPair<QString, QJsonValue::Type>> siteMembers{
            {"mainSite", QJsonValue::String}, {"url", QJsonValue::String},    {"updatedUrl", QJsonValue::String},
            {"host", QJsonValue::String},     {"status", QJsonValue::String}, {"linked", QJsonValue::Bool},
            {"number", QJsonValue::String},   {"foundOn", QJsonValue::String}, {"notes", QJsonValue::String},
            {"anchor", QJsonValue::String},   {"rows", QJsonValue::Array},     {"errors", QJsonValue::Array},
            {"checked", QJsonValue::Bool},    {"reason", QJsonValue::Null},    {"proof", QJsonValue::Null}};
        const QList<QPair<QString, QJsonValue::Type>> changeMembers{
            {"kind", QJsonValue::String},       {"mainSite", QJsonValue::String}, {"host", QJsonValue::String},
            {"url", QJsonValue::String},        {"previousRun", QJsonValue::String}, {"before", QJsonValue::Object},
            {"now", QJsonValue::Object}};
        const QList<QPair<QString, QJsonValue::Type>> stateMembers{
            {"status", QJsonValue::String}, {"links", QJsonValue::Double}, {"foundOn", QJsonValue::String},
            {"notes", QJsonValue::String},  {"missing", QJsonValue::String}, {"text", QJsonValue::String},
            {"anchor", QJsonValue::String}, {"proof", QJsonValue::Null}};
        const auto checkMembers = [](const QJsonObject &o, const QList<QPair<QString, QJsonValue::Type>> &members) {
            QStringList names;
            for (const auto &[name, type] : members) {
                names << name;
                if (o.value(name).type() != type)
                    return QStringLiteral("%1 has type %2").arg(name).arg(o.value(name).type());
            }
            names.sort();
            return o.keys() == names ? QString() : QStringLiteral("members %1").arg(o.keys().join(','));
        };
        QCOMPARE(checkMembers(doc, topMembers), QString());
        QCOMPARE(checkMembers(doc["settings"].toObject(), settingsMembers), QString());
        QCOMPARE(checkMembers(doc["statistics"].toObject(), statisticsMembers), QString());
        QCOMPARE(doc["linkingSites"].toArray().size(), 3);
        QCOMPARE(checkMembers(doc["linkingSites"][0].toObject(), siteMembers), QString());
        QCOMPARE(doc["changes"].toArray(), QJsonArray());

        QCOMPARE(doc["formatVersion"].toInt(), 1);
        QCOMPARE(doc["project"].toString(), project);
        QCOMPARE(doc["exitStatus"].toInt(), 1);
        const QDateTime started = QDateTime::fromString(doc["started"].toString(), Qt::ISODate);
        const QDateTime finished = QDateTime::fromString(doc["finished"].toString(), Qt::ISODate);
        QVERIFY2(started >= before && started <= finished && finished <= QDateTime::currentDateTime(),
                 qPrintable(doc["started"].toString()));
        const QJsonObject settings = doc["settings"].toObject();
        QCOMPARE(settings["timeout"].toInt(), 30);
        QCOMPARE(settings["pageLimit"].toInt(), 500);
        QCOMPARE(settings["port"].toInt(), m_nginx->port());
        QCOMPARE(settings["pageTypes"].toArray(), QJsonArray({".html", ".htm"}));
        QCOMPARE(settings["overrides"].toObject(), QJsonObject({{"txtTimeout", "30"}}));
        QCOMPARE(doc["statistics"].toObject()["linkingSites"].toInt(), 3);
        QCOMPARE(doc["statistics"].toObject()["linksFound"].toInt(), 2);

        // Per site: [url, updatedUrl, status, linked, number, foundOn, rows "status|number|url", errors "error|url",
        // checked, reason].
        const auto describe = [](const QJsonObject &site) {
            QStringList rows, errors;
            for (const QJsonValue &row : site["rows"].toArray())
                rows << QStringList{row["status"].toString(), row["number"].toString(), row["url"].toString()}.join('|');
            for (const QJsonValue &e : site["errors"].toArray())
                errors << e["error"].toString() + '|' + e["url"].toString();
            return QStringList{site["mainSite"].toString(), site["url"].toString(), site["updatedUrl"].toString("null"),
                               site["host"].toString(), site["status"].toString(), site["linked"].toBool() ? "linked" : "-",
                               site["number"].toString(), site["foundOn"].toString(), rows.join(';'), errors.join(';'),
                               site["checked"].toBool() ? "checked" : "-", site["reason"].toString("null")}
                .join(' ');
        };
        const QJsonArray sites = doc["linkingSites"].toArray();
        QCOMPARE(describe(sites[0].toObject()),
                 QString("mysite.com/links.htm 127.0.0.1/direct/ 127.0.0.1/direct/Page3.html 127.0.0.1 Direct Link linked 001 "
                         "127.0.0.1/direct/Page3.html Direct Link|001|127.0.0.1/direct/Page3.html  checked null"));
        QCOMPARE(describe(sites[1].toObject()),
                 QString("mysite.com/links.htm 127.0.0.1/missing/ 127.0.0.1/missing 127.0.0.1 Missing 002 - 000 "
                         "127.0.0.1/missing/second.html Direct Link|001|127.0.0.1/missing;"
                         "Missing 002|000|127.0.0.1/missing/second.html  checked null"));
        QCOMPARE(describe(sites[2].toObject()),
                 QString("mysite.com/links.htm 127.0.0.1/nothere/ null 127.0.0.1 None Found (404 Not found) - 000 127.0.0.1 "
                         "None Found (404 Not found)|000|127.0.0.1 404 Not found|127.0.0.1/nothere/ checked 404 Not found"));
        QCOMPARE(doc["errors"].toArray(), QJsonArray({QJsonObject{{"error", "404 Not found"}, {"url", "127.0.0.1/nothere/"}}}));

        // "-" is stdout, with nothing else on it. The first run of a history
        // has nothing to compare with.
        const QString history = path("json.history.sqlite");
        const CliRun toStdout = run({"-j", "-", "-t", "2", "-m", "1", "-l", "1", "--history", history, project});
        QCOMPARE(toStdout.exitCode, 0);
        const QJsonObject one = readJson(toStdout.stdOut);
        QCOMPARE(one["linkingSites"].toArray().size(), 1);
        QCOMPARE(one["settings"].toObject()["mainSite"].toInt(), 1);
        QCOMPARE(one["exitStatus"].toInt(), 0);
        QCOMPARE(one["history"].toString(), history);
        QCOMPARE(one["changesSince"].type(), QJsonValue::Null);
        QCOMPARE(one["changes"].toArray(), QJsonArray());

        // The history beside the project is found without --history. A page
        // limit of one loses the link on the third page: a change since the
        // run above, and exit status 3.
        const CliRun lost = run({"-j", path("lost.json"), "-t", "2", "-m", "1", "-l", "1", "--set", "cmbAdvance=0", project});
        QCOMPARE(lost.exitCode, 3);
        QFile lostFile(path("lost.json"));
        QVERIFY(lostFile.open(QIODevice::ReadOnly));
        const QJsonObject two = readJson(lostFile.readAll());
        QCOMPARE(two["exitStatus"].toInt(), 3);
        QCOMPARE(two["history"].toString(), history);
        const auto withinRunOne = [&](const QJsonValue &time) {
            const QDateTime t = QDateTime::fromString(time.toString(), Qt::ISODate);
            return t.isValid() && t >= QDateTime::fromString(one["started"].toString(), Qt::ISODate)
                && t <= QDateTime::fromString(one["finished"].toString(), Qt::ISODate);
        };
        QVERIFY2(withinRunOne(two["changesSince"]), qPrintable(two["changesSince"].toString()));
        const QJsonArray changes = two["changes"].toArray();
        QCOMPARE(changes.size(), 1);
        const QJsonObject change = changes[0].toObject();
        QCOMPARE(checkMembers(change, changeMembers), QString());
        QCOMPARE(checkMembers(change["before"].toObject(), stateMembers), QString());
        QCOMPARE(checkMembers(change["now"].toObject(), stateMembers), QString());
        QVERIFY2(withinRunOne(change["previousRun"]), qPrintable(change["previousRun"].toString()));
        // [kind, mainSite, host, url] then [status, links, foundOn, notes, missing, text] before and now.
        const auto state = [](const QJsonValue &s) {
            return QStringList{s["status"].toString(), QString::number(s["links"].toInt()), s["foundOn"].toString(),
                               s["notes"].toString(), s["missing"].toString(), s["text"].toString()}
                .join('|');
        };
        QCOMPARE(QStringList({change["kind"].toString(), change["mainSite"].toString(), change["host"].toString(),
                              change["url"].toString()}),
                 QStringList({"Lost", "mysite.com/links.htm", "127.0.0.1", "127.0.0.1/direct/"}));
        QCOMPARE(state(change["before"]),
                 QString("Direct Link|1|127.0.0.1/direct/Page3.html|||Direct Link on 127.0.0.1/direct/Page3.html"));
        QCOMPARE(state(change["now"]), QString("None Found|0|127.0.0.1|||None Found"));

        // A document that cannot be written is a failed run.
        QCOMPARE(run({"--json", path("no-such-folder/scan.json"), project}).exitCode, 2);
    }

    void cannotStartExitsTwo()
    {
        const QString project = writeProject({"127.0.0.1/direct/"}, "two.prj");
        CliRun r = run({"--scan-type", "1", project});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.stdErr.contains("You must select a Main Site to scan before using this scan type."));

        r = run({"--bogus", project});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.stdErr.contains("usage: reciplex-scan"));

        r = run({"--scan-type", "3", project});
        QCOMPARE(r.exitCode, 2);

        r = run({path("no-such.prj")});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.stdErr.contains("cannot open"));
    }

    // After the scan: the report, the tab export, the links page and the
    // posting run with its log, as the window's commands would make them.
    void outputsAfterTheScan()
    {
        RecordingHttpServer script;
        QVERIFY(script.listen());
        script.setBody("stored");

        Project p;
        const int m = p.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
        p.addLinkingSite(m, QStringLiteral("127.0.0.1/direct/"));
        p.addLinkingSite(m, QStringLiteral("127.0.0.1/nothere/"));
        p.setPageText(Project::PageText::Before, QStringLiteral("<ul>"));
        p.setPageText(Project::PageText::After, QStringLiteral("</ul>"));
        p.setScriptUrl(script.baseUrl() + QStringLiteral("/getlinks.php?site=$MainSite&remote=$LinkingSite&ok=$Status&on=$FoundOn"));
        const QString project = path(QStringLiteral("outputs.prj"));
        QVERIFY(ProjectFile::write(p, project));

        // The script server answers in this process, so wait with events running.
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"),
                      {"--port", QString::number(m_nginx->port()), "--program-folder", m_env->programFolder(),
                       "--quiet", "--set", "chkNewWin=0", "--set", "chkBullet=1", "--set", "optScript=0",
                       "--set", "chkAnchorText=0",
                       "--report", path("report"), "--tab", path("results.tab"), "--links-page", path("links.html"),
                       "--post", "--post-log", path("post.log"), project});
        QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 30000);
        QCOMPARE(process.exitCode(), 1); // the second site has no link
        QCOMPARE(QString::fromLocal8Bit(process.readAllStandardError()), QString());

        auto read = [&](const QString &name) {
            QFile f(path(name));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
        };
        const QByteArray report = read("report.htm"); // the extension is added as the save command adds it
        QVERIFY(report.startsWith("<html>\r\n<head>\r\n<title>Reciprocal Link Report</title>"));
        QVERIFY(report.contains("<tr><td><li>Direct Links</li></td><td> 1</td></tr>"));
        QVERIFY(report.contains("<tr><td>Total Non-Linking Sites:</td><td> 1</td></tr>"));
        QVERIFY(report.contains("Found On: <a href='127.0.0.1/direct/Page3.html'>"));

        QCOMPARE(read("results.tab"),
                 QByteArray("Main\tRemote\tStatus\tNo.\tURL\r\n\r\n"
                            "mysite.com/links.htm\t127.0.0.1\tDirect Link\t001\t127.0.0.1/direct/Page3.html\r\n"
                            "mysite.com/links.htm\t127.0.0.1\tNone Found (404 Not found)\t000\t127.0.0.1\r\n\r\n"));

        QCOMPARE(read("links.html"),
                 QByteArray("<ul>\r\n\r\n<li><a href=\"http://127.0.0.1\">127.0.0.1</a></li><br><br>\r\n\r\n\r\n</ul>\r\n"));

        QCOMPARE(script.targets(),
                 (QList<QByteArray>{
                     "/getlinks.php?site=mysite.com%2Flinks.htm&remote=127.0.0.1&ok=True&on=127.0.0.1%2Fdirect%2FPage3.html",
                     "/getlinks.php?site=mysite.com%2Flinks.htm&remote=127.0.0.1&ok=False&on=127.0.0.1"}));
        const QByteArray log = read("post.log");
        QVERIFY(log.startsWith("\r\nURL: " + script.baseUrl().toLatin1() + "/getlinks.php?site=mysite.com%2Flinks.htm"));
        QCOMPARE(log.count("\r\nReturned: stored\r\n"), 2);
    }

    // Link notes and anchor texts reach every output: the robots.txt note is
    // in the rows before the site is written down. With chkAnchorText "0"
    // the files are what they were before anchor texts.
    void linkNotesInEveryOutput_data()
    {
        QTest::addColumn<QString>("anchorText");
        QTest::addColumn<QString>("anchor"); // of each link row
        QTest::newRow("chkAnchorText 0") << "0" << "";
        QTest::newRow("chkAnchorText 1") << "1" << "My Site";
    }
    void linkNotesInEveryOutput()
    {
        QFETCH(QString, anchorText);
        QFETCH(QString, anchor);
        const QByteArray tabAnchor = anchor.isEmpty() ? QByteArray() : "\t" + anchor.toLatin1();
        const QByteArray fileAnchor = anchor.isEmpty() ? QByteArray() : "|" + anchor.toLatin1();
        Project p;
        const int m = p.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
        const int row = p.addLinkingSite(m, QStringLiteral("127.0.0.1/notes/blocked/"));
        LinkingSite site = p.linkingSites(m).at(row);
        site.linksExpected = QStringLiteral("2");
        p.updateLinkingSite(m, row, site);
        const QString project = path(QStringLiteral("notes.prj"));
        QVERIFY(ProjectFile::write(p, project));

        const CliRun r = run({"--quiet", "--set", "chkAnchorText=" + anchorText, "--json", path("notes.json"), "--report",
                              path("notes-report"), "--tab", path("notes.tab"), "--output", path("notes-out.prj"), project});
        QCOMPARE(r.exitCode, 0);
        auto read = [&](const QString &name) {
            QFile f(path(name));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
        };
        const QString notes = QStringLiteral("nofollow, blocked by robots.txt");
        const QJsonObject doc = readJson(read("notes.json"));
        const QJsonObject first = doc["linkingSites"].toArray().at(0).toObject();
        QCOMPARE(first["notes"].toString(), notes);
        QCOMPARE(first["rows"].toArray().at(0).toObject()["notes"].toString(), notes);
        QCOMPARE(first["rows"].toArray().at(1).toObject()["notes"].toString(), QString());
        QVERIFY(doc["settings"].toObject()["linkNotes"].toBool());
        QCOMPARE(doc["settings"].toObject()["anchorText"].toBool(), !anchor.isEmpty());
        QCOMPARE(first["anchor"].toString(), anchor);
        QCOMPARE(first["rows"].toArray().at(1).toObject()["anchor"].toString(), anchor);

        const QByteArray report = read("notes-report.htm");
        QVERIFY(report.contains("<tr><td>Links that pass no value:</td><td> 1</td></tr>"));
        QVERIFY(report.contains("Status: Direct Link (nofollow, blocked by robots.txt)<BR>"));
        QCOMPARE(report.contains("Found On: <a href='127.0.0.1/notes/blocked'>127.0.0.1/notes/blocked</a><BR>"
                                 "Anchor: My Site<BR>"),
                 !anchor.isEmpty());
        QCOMPARE(report.contains("Anchor:"), !anchor.isEmpty());
        QCOMPARE(read("notes.tab"),
                 QByteArray("Main\tRemote\tStatus\tNo.\tURL") + (anchor.isEmpty() ? "" : "\tAnchor Text") + "\r\n\r\n"
                     + "mysite.com/links.htm\t127.0.0.1\tDirect Link (nofollow, blocked by robots.txt)\t001\t"
                     + "127.0.0.1/notes/blocked" + tabAnchor + "\r\n"
                     + "mysite.com/links.htm\t127.0.0.1\tDirect Link\t002\t127.0.0.1/notes/blocked/open.html" + tabAnchor
                     + "\r\n\r\n");
        const QByteArray saved = read("notes-out.prj");
        QVERIFY(saved.contains("RESULT:2|mysite.com/links.htm|127.0.0.1|Direct Link|001|127.0.0.1/notes/blocked|"
                               "nofollow, blocked by robots.txt" + fileAnchor + "\r\n"));
        QVERIFY(saved.contains("RESULT:2|mysite.com/links.htm|127.0.0.1|Direct Link|002|"
                               "127.0.0.1/notes/blocked/open.html" + (anchor.isEmpty() ? QByteArray() : "|" + fileAnchor)
                               + "\r\n"));
    }

    // A link only the page's script draws is found by drawing the page, with
    // its picture; a script that never ends costs the render time-out and
    // an errors row, and the scan goes on.
    void linksDrawnByScript()
    {
        if (!QFileInfo::exists(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-render")))
            QSKIP("reciplex-render is not built here (the sanitizer build leaves the browser engine out)");
        const QString project = writeProject({"127.0.0.1/scripted/loop/", "127.0.0.1/scripted/"}, "drawn.prj");
        QElapsedTimer clock;
        clock.start();
        const CliRun r = run({"--quiet", "--set", "RenderTimeout=2", "--proof", path("proof"), "--json",
                              path("drawn.json"), "--report", path("drawn-report"), project});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(clock.elapsed() < 2000 + 8000, qPrintable(QString::number(clock.elapsed())));
        QFile json(path("drawn.json"));
        QVERIFY(json.open(QIODevice::ReadOnly));
        const QJsonArray sites = readJson(json.readAll())["linkingSites"].toArray();
        QCOMPARE(sites.size(), 2);
        const QJsonObject loop = sites.at(0).toObject(), drawn = sites.at(1).toObject();
        QCOMPARE(loop["status"].toString(), QString("None Found"));
        QCOMPARE(loop["errors"].toArray().at(0)["error"].toString(), QString("Render failed"));
        QVERIFY(loop["proof"].isNull());
        const QString picture = path("proof/mysite.com/127.0.0.1.png");
        QCOMPARE(drawn["status"].toString(), QString("Direct Link"));
        QCOMPARE(drawn["notes"].toString(), QString("JavaScript"));
        QCOMPARE(drawn["anchor"].toString(), QString("Best blue widgets"));
        QCOMPARE(drawn["rows"].toArray().at(0)["proof"].toString(), picture);
        QFile png(picture);
        QVERIFY(png.open(QIODevice::ReadOnly) && png.read(8) == QByteArray("\x89PNG\r\n\x1a\n"));
        QFile report(path("drawn-report.htm"));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QVERIFY(report.readAll().contains(" <a href='" + QUrl::fromLocalFile(picture).toEncoded() + "'>Proof</a><BR>"));
    }

    void cleanupTestCase()
    {
        m_nginx.reset();
        m_env.reset();
    }
};

QTEST_GUILESS_MAIN(TestScanCli)
#include "tst_scancli.moc"
