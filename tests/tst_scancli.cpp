// The built reciplex-scan run against nginx: exit statuses, progress and the
// files it writes, with its own settings location.
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "support/NginxRunner.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

struct CliRun
{
    int exitCode = -1;
    QString stdErr;
    QString stdOut;
};

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
        r.stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        return r;
    }

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnv>();
        m_env->writeFile(QStringLiteral("filetypes.txt"), ".html\r\n.htm\r\n");
        m_nginx = std::make_unique<NginxRunner>(QStringLiteral(RECIPLEX_TEST_DATA "/site"));
        QVERIFY2(m_nginx->isRunning(), qPrintable(m_nginx->failure()));
    }

    void everySiteLinkedExitsZero()
    {
        const QString project = writeProject({"127.0.0.1/direct/", "127.0.0.1/domain/"});
        const QString output = path("out.prj");
        const CliRun r = run({"--output", output, "--errors", path("errors.txt"), project});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.stdErr.contains("mysite.com/links.htm\t127.0.0.1\tDirect Link\n"), qPrintable(r.stdErr));
        QVERIFY(r.stdErr.contains("mysite.com/links.htm\t127.0.0.1\tDomain Link\n"));

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
        QVERIFY(!settingsText().contains("cmbAdvance"));
        QVERIFY(!settingsText().contains("CMBADVANCE"));
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
        QCOMPARE(r.stdOut, QString());
        QVERIFY(QFile::exists(path("hist.history.sqlite")));

        // A page limit of one leaves the link on the third page unseen.
        r = run({"--quiet", "--set", "cmbAdvance=0", "--changes", "--report", path("hist-report.htm"), project});
        QCOMPARE(r.exitCode, 3);
        const QStringList lines = r.stdOut.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.at(0).startsWith("Lost\tmysite.com/links.htm\t127.0.0.1\tDirect Link on 127.0.0.1/direct/"),
                 qPrintable(lines.at(0)));
        QFile report(path("hist-report.htm"));
        QVERIFY(report.open(QIODevice::ReadOnly));
        QVERIFY(report.readAll().contains("<b>Lost Links</b><BR>\r\nSite: <a href='127.0.0.1'>"));

        r = run({"--quiet", "--changes", project});
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.stdOut.startsWith("New\tmysite.com/links.htm\t127.0.0.1\tNone Found"), qPrintable(r.stdOut));
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

    void cleanupTestCase()
    {
        m_nginx.reset();
        m_env.reset();
    }
};

QTEST_GUILESS_MAIN(TestScanCli)
#include "tst_scancli.moc"
