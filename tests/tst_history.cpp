// The scan history: what counts as a change between runs, nights of
// reciplex-scan against loopback partners, a database of the first schema
// brought up to date, and a writer killed inside its transaction. Real
// SQLite files in temporary folders throughout.
#include "history/ChangeText.h"
#include "history/HistoryDatabase.h"
#include "history/ProjectHistory.h"
#include "history/RunCapture.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "scan/ScanFrontEnd.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"
#include "url/UrlText.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <csignal>

namespace {

// One run as the scan concludes its sites, written "partner;partner;…" for
// Main Site "mysite.com" ("@MAINSITE;" first for another form of it). A
// partner is "url|status|foundOn|notes|flags": a status ending in " Link" is
// a link row; flags "x" not checked, "s" skipped, ">URL" updated to URL.
RunRecord recordOf(const QString &run, int lostAfterRuns = 1)
{
    RunRecord r;
    r.info.started = r.info.finished = QDateTime::currentDateTimeUtc();
    r.info.settings = QStringLiteral("LostAfterRuns=%1\n").arg(lostAfterRuns);
    QString mainSite = QStringLiteral("mysite.com");
    for (const QString &text : run.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        if (text.startsWith(QLatin1Char('@'))) {
            mainSite = text.mid(1);
            continue;
        }
        const QStringList f = text.split(QLatin1Char('|'));
        const QString flags = f.value(4).section(QLatin1Char('>'), 0, 0);
        SiteConclusion c;
        c.mainSite = mainSite;
        c.linkingSiteUrl = f.value(0);
        c.host = hostOfCopy(c.linkingSiteUrl);
        c.outcome = f.value(1);
        c.skipped = flags.contains(QLatin1Char('s'));
        c.checked = !c.skipped && !flags.contains(QLatin1Char('x'));
        c.updatedUrl = f.value(4).section(QLatin1Char('>'), 1);
        const bool link = c.outcome.endsWith(QLatin1String(" Link"));
        c.rows.append(LinkResult{link ? 2 : 1, mainSite, c.host, c.outcome, link ? "001" : "000", f.value(2),
                                 link ? RowColour::Blue : RowColour::Red, f.value(3)});
        r.sites.append(RunCapture::recordOf(c));
    }
    return r;
}

QStringList linesOf(const RunChanges &changes)
{
    QStringList lines;
    for (const SiteChange &c : changes.changes)
        lines << ChangeText::line(c);
    return lines;
}

// The child of interruptedWriteLeavesEarlierRunsWhole: stores a run far too
// large to finish before it is killed.
int storeEndlessRun(const QString &path)
{
    HistoryDatabase db(path);
    if (!db.isOpen())
        return 2;
    RunRecord run;
    run.info.started = run.info.finished = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < 300000; ++i) {
        SiteRecord s;
        s.mainSite = QStringLiteral("mysite.com");
        s.host = QStringLiteral("partner%1.org").arg(i);
        s.url = s.host + QStringLiteral("/");
        s.status = QStringLiteral("Direct Link");
        s.links = 1;
        run.sites.append(s);
    }
    return db.storeRun(run) ? 0 : 3;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(HistoryDatabase::driverAvailable(), "the QSQLITE driver (libqt6sql6-sqlite) is missing");
    }

    // Each row: the runs in order and the LostAfterRuns they were stored
    // with, then the changes of the last run as reciplex-scan prints them and
    // the run it is compared with (0: none).
    void changesSinceTheLastRun_data()
    {
        QTest::addColumn<QStringList>("runs");
        QTest::addColumn<int>("lostAfterRuns");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<int>("previousRun");
        const QString a = QStringLiteral("a.org/|Direct Link|a.org/links.htm");
        const QString b = QStringLiteral("b.org/|Direct Link|b.org/");
        const QString aNone = QStringLiteral("a.org/|None Found|a.org");
        const QString aLost = QStringLiteral("Lost\tmysite.com\ta.org\tDirect Link on a.org/links.htm\tNone Found\ta.org/");
        QTest::newRow("first run: nothing to compare") << QStringList{a} << 1 << QStringList{} << 0;
        QTest::newRow("unchanged") << QStringList{a, a} << 1 << QStringList{} << 1;
        QTest::newRow("lost: the page answered 404")
            << QStringList{a, "a.org/|None Found (404 Not found)|a.org"} << 1
            << QStringList{"Lost\tmysite.com\ta.org\tDirect Link on a.org/links.htm\tNone Found (404 Not found)\ta.org/"} << 1;
        QTest::newRow("new") << QStringList{aNone, a} << 1
                             << QStringList{"New\tmysite.com\ta.org\tNone Found\tDirect Link on a.org/links.htm\ta.org/"} << 1;
        QTest::newRow("moved") << QStringList{a, "a.org/|Direct Link|a.org/partners.htm"} << 1
                               << QStringList{"Moved\tmysite.com\ta.org\tDirect Link on a.org/links.htm\t"
                                              "Direct Link on a.org/partners.htm\ta.org/"}
                               << 1;
        QTest::newRow("notes changed") << QStringList{a, a + "|nofollow"} << 1
                                       << QStringList{"Notes changed\tmysite.com\ta.org\tDirect Link on a.org/links.htm\t"
                                                      "Direct Link (nofollow) on a.org/links.htm\ta.org/"}
                                       << 1;
        // The scan was stopped before b.org: it has no record and is not lost.
        QTest::newRow("stopped scan") << QStringList{a + ";" + b, a} << 1 << QStringList{} << 1;
        // Pages not read: named, never lost, and the next run compares with the last check.
        QTest::newRow("skipped: not checked")
            << QStringList{a + ";" + b, a + ";b.org/|None Found (Skipped)|b.org||s"} << 1
            << QStringList{"Not checked\tmysite.com\tb.org\tDirect Link on b.org/\tNone Found (Skipped)\tb.org/"} << 1;
        QTest::newRow("timed out, then back: no New")
            << QStringList{a, "a.org/|None Found (Timeout)|a.org||x", a} << 1 << QStringList{} << 1;
        QTest::newRow("lost after a 503") << QStringList{a, "a.org/|None Found (503 Service Unavailable)|a.org||x", aNone}
                                          << 1 << QStringList{aLost} << 1;
        QTest::newRow("fewer links than expected still links")
            << QStringList{a, a + ";a.org/|Missing 001|a.org/links.htm"} << 1 << QStringList{} << 1;
        QTest::newRow("a new partner that links")
            << QStringList{a, a + ";c.org/|Redirect Link|c.org/go"} << 1
            << QStringList{"New\tmysite.com\tc.org\tNot checked\tRedirect Link on c.org/go\tc.org/"} << 1;
        // A URL put in place by chkUpdate leads to the same partner, whether
        // the next run begins with it (the project was saved) or not. Two
        // partners on one host and a Main Site with a trailing slash: nightlyScans.
        QTest::newRow("updated URL, project saved")
            << QStringList{a + "||>a.org/links.htm", "a.org/links.htm|None Found|a.org"} << 1
            << QStringList{"Lost\tmysite.com\ta.org\tDirect Link on a.org/links.htm\tNone Found\ta.org/links.htm"} << 1;
        QTest::newRow("updated URL, project not saved")
            << QStringList{a + "||>a.org/links.htm", aNone} << 1 << QStringList{aLost} << 1;
        QTest::newRow("entry known with www. and another case of its host")
            << QStringList{"www.a.org/|Direct Link|www.a.org/l", "A.org|None Found|A.org"} << 1
            << QStringList{"Lost\tmysite.com\tA.org\tDirect Link on www.a.org/l\tNone Found\tA.org"} << 1;
        // LostAfterRuns 2: lost at the second check without the link.
        QTest::newRow("LostAfterRuns 2: lost, a time-out between not counted")
            << QStringList{a, aNone, "a.org/|None Found (Timeout)|a.org||x", aNone} << 2 << QStringList{aLost} << 2;
        QTest::newRow("LostAfterRuns 2: lost once, not again") << QStringList{a, aNone, aNone, aNone} << 2
                                                               << QStringList{} << 3;
        QTest::newRow("LostAfterRuns 2: back before it counted") << QStringList{a, aNone, a} << 2 << QStringList{} << 2;
        QTest::newRow("lost listed first")
            << QStringList{aNone + ";" + b, a + ";b.org/|None Found|b.org"} << 1
            << QStringList{"Lost\tmysite.com\tb.org\tDirect Link on b.org/\tNone Found\tb.org/",
                           "New\tmysite.com\ta.org\tNone Found\tDirect Link on a.org/links.htm\ta.org/"}
            << 1;
    }

    void changesSinceTheLastRun()
    {
        QFETCH(QStringList, runs);
        QFETCH(int, lostAfterRuns);
        QFETCH(QStringList, changes);
        QFETCH(int, previousRun);
        TestEnv env;
        HistoryDatabase db(env.path("sites.history.sqlite"));
        QVERIFY2(db.isOpen(), qPrintable(db.errorText()));
        qint64 last = 0;
        for (const QString &run : runs) {
            last = db.storeRun(recordOf(run, lostAfterRuns));
            QVERIFY2(last > 0, qPrintable(db.errorText()));
        }
        const RunChanges found = db.changesOf(last);
        QCOMPARE(linesOf(found), changes);
        QCOMPARE(found.previousRunId, qint64(previousRun));
    }

    // A database of the first schema, written with plain SQL as that version
    // wrote it (one record per Main Site and host), is brought up to date:
    // its runs compare and chart as before, a time-out it counted as a look
    // at the page is one no longer, and the first runs that know partners by
    // their entries compare with its host records without false alarms.
    void databaseOfTheFirstSchemaIsUpgraded()
    {
        TestEnv env;
        const QString path = env.path("old.history.sqlite");
        {
            QSqlDatabase old = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
            old.setDatabaseName(path);
            QVERIFY(old.open());
            QSqlQuery q(old);
            for (const char *sql : {
                     "CREATE TABLE runs (id INTEGER PRIMARY KEY, started TEXT NOT NULL, finished TEXT NOT NULL,"
                     " scan_type INTEGER NOT NULL, settings TEXT NOT NULL)",
                     "CREATE TABLE sites (id INTEGER PRIMARY KEY, main_key TEXT NOT NULL, host_key TEXT NOT NULL,"
                     " main_site TEXT NOT NULL, host TEXT NOT NULL, UNIQUE (main_key, host_key))",
                     "CREATE TABLE site_runs (run_id INTEGER NOT NULL REFERENCES runs(id),"
                     " site_id INTEGER NOT NULL REFERENCES sites(id), url TEXT NOT NULL, status TEXT NOT NULL,"
                     " links INTEGER NOT NULL, missing TEXT NOT NULL, found_on TEXT NOT NULL, notes TEXT NOT NULL,"
                     " errors TEXT NOT NULL, skipped INTEGER NOT NULL, PRIMARY KEY (run_id, site_id)) WITHOUT ROWID",
                     "CREATE INDEX site_runs_by_site ON site_runs (site_id, skipped, run_id)",
                     "PRAGMA user_version = 1",
                     "INSERT INTO runs VALUES (1, '2024-03-01T10:00:00.000Z', '2024-03-01T10:05:00.000Z', 0, 'cmbAdvance=4\n')",
                     "INSERT INTO runs VALUES (2, '2024-03-08T10:00:00.000Z', '2024-03-08T10:05:00.000Z', 0, 'cmbAdvance=4\n')",
                     "INSERT INTO sites VALUES (1, 'mysite.com/', 'a.org', 'mysite.com/', 'a.org')",
                     "INSERT INTO sites VALUES (2, 'mysite.com/', 'b.org', 'mysite.com/', 'b.org')",
                     "INSERT INTO sites VALUES (3, 'mysite.com/', 'c.org', 'mysite.com/', 'c.org')",
                     "INSERT INTO sites VALUES (4, 'mysite.com/', 'example.org', 'mysite.com/', 'example.org')",
                     "INSERT INTO site_runs VALUES (1, 1, 'a.org', 'Direct Link', 1, '', 'a.org/l', '', '', 0)",
                     "INSERT INTO site_runs VALUES (1, 2, 'b.org', 'Direct Link', 2, '', 'b.org/l', '', '', 0)",
                     "INSERT INTO site_runs VALUES (1, 3, 'c.org', 'Direct Link', 1, '', 'c.org/l', '', '', 0)",
                     "INSERT INTO site_runs VALUES (1, 4, 'example.org/~alice/', 'Direct Link', 1, '', 'example.org/~bob/', '', '', 0)",
                     "INSERT INTO site_runs VALUES (2, 1, 'a.org', 'None Found', 0, '', 'a.org', '', '', 0)",
                     "INSERT INTO site_runs VALUES (2, 2, 'b.org', 'None Found (Skipped)', 0, '', 'b.org', '', '', 1)",
                     "INSERT INTO site_runs VALUES (2, 3, 'c.org', 'None Found (Timeout)', 0, '', 'c.org', '', 'Timeout\tc.org\n', 0)",
                     "INSERT INTO site_runs VALUES (2, 4, 'example.org/~alice/', 'Direct Link', 1, '', 'example.org/~bob/', '', '', 0)",
                 })
                QVERIFY2(q.exec(QString::fromLatin1(sql)), sql);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));

        HistoryDatabase db(path);
        QVERIFY2(db.isOpen(), qPrintable(db.errorText()));
        QCOMPARE(db.runs().size(), 2);
        QCOMPARE(db.runs().at(1).started, QDateTime(QDate(2024, 3, 8), QTime(10, 0), Qt::UTC));
        QCOMPARE(linesOf(db.changesOf(2)),
                 QStringList({"Lost\tmysite.com/\ta.org\tDirect Link on a.org/l\tNone Found\ta.org",
                              "Not checked\tmysite.com/\tb.org\tDirect Link on b.org/l\tNone Found (Skipped)\tb.org",
                              "Not checked\tmysite.com/\tc.org\tDirect Link on c.org/l\tNone Found (Timeout)\tc.org"}));
        const QList<ChartPoint> chart = db.chart(QStringLiteral("mysite.com"));
        QCOMPARE(chart.size(), 2);
        QCOMPARE(chart.at(0).links, 5);
        QCOMPARE(chart.at(0).nonLinking, 0);
        QCOMPARE(chart.at(1).links, 1);

        // The first run that knows partners by their entries: b.org was
        // skipped and c.org timed out in run 2, so they compare with run 1;
        // alice and bob shared one record, which one of them still has.
        const qint64 third = db.storeRun(recordOf("@mysite.com;a.org/|Direct Link|a.org/l;b.org/|None Found|b.org;"
                                                  "c.org/|Direct Link|c.org/l;"
                                                  "example.org/~alice/|None Found|example.org;"
                                                  "example.org/~bob/|Direct Link|example.org/~bob/links.htm"));
        QCOMPARE(third, qint64(3));
        QCOMPARE(linesOf(db.changesOf(third)),
                 QStringList({"Lost\tmysite.com\tb.org\tDirect Link on b.org/l\tNone Found\tb.org/",
                              "New\tmysite.com\ta.org\tNone Found\tDirect Link on a.org/l\ta.org/"}));
        QCOMPARE(db.siteHistory("mysite.com", "b.org/").size(), 3);
        QCOMPARE(db.siteHistory("mysite.com/", "http://example.org/~alice").size(), 3);
    }

    // Nights of reciplex-scan --history --output against partners at
    // 127.0.0.1/NAME/: "NAME=PAGE" (link, words: the link with other words,
    // none, silent, 503, closed without a
    // reply), "main=URL", "set=KEY=VALUE". Expected: "EXIT: Kind NAME, …" as
    // --changes prints them; the pages the JSON says were not read, and why.
    void nightlyScans_data()
    {
        QTest::addColumn<QStringList>("nights");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("seven partners: one drops its link, three cannot be read")
            << QStringList{"p1=link p2=link p3=link p4=link p5=link p6=link p7=link",
                           "p1=link p2=link p3=link p4=none p5=silent p6=503 p7=closed",
                           "p1=link p2=link p3=link p4=none p5=link p6=link p7=link"}
            << QStringList{"0:", "3: Lost p4, Not checked p5, Not checked p6, Not checked p7; not read: p5 (Timeout), "
                                 "p6 (503 Service Unavailable), p7 (No reply)", "1:"};
        QTest::newRow("two partners on one host")
            << QStringList{"~alice=link ~bob=link", "~alice=link ~bob=none", "~alice=none ~bob=link"}
            << QStringList{"0:", "3: Lost ~bob", "3: Lost ~alice, New ~bob"};
        QTest::newRow("a trailing slash added to the Main Site")
            << QStringList{"main=http://www.mysite.com p1=link", "main=http://www.mysite.com/ p1=none"}
            << QStringList{"0:", "3: Lost p1"};
        QTest::newRow("other words, then no words read")
            << QStringList{"p1=link", "p1=words", "set=chkAnchorText=0 p1=link"}
            << QStringList{"0:", "0: Anchor changed p1", "0:"};
        QTest::newRow("LostAfterRuns 2") << QStringList{"set=LostAfterRuns=2 p1=link", "set=LostAfterRuns=2 p1=none",
                                                        "set=LostAfterRuns=2 p1=none"}
                                         << QStringList{"0:", "1: Possibly lost p1", "3: Lost p1"};
    }

    void nightlyScans()
    {
        QFETCH(QStringList, nights);
        QFETCH(QStringList, expected);
        TestEnv env;
        QTemporaryDir config;
        QHash<QString, QString> pages; // partner -> what its page does tonight
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setResponder([&pages](const RecordingHttpServer::Request &request) {
            using Response = RecordingHttpServer::Response;
            const QString page = pages.value(QString::fromLatin1(request.target).section(QLatin1Char('/'), 1, 1));
            Response r;
            const bool linked = page == QLatin1String("link") || page == QLatin1String("words");
            r.body = "<html><body><a href=\"http://"
                   + QByteArray(linked ? "www.mysite.com/links.htm" : "elsewhere.example/") + "\">"
                   + (page == QLatin1String("words") ? "Other words" : "A") + "</a>";
            if (page == QLatin1String("503"))
                r = {503, "Service Unavailable", {}, {}, {}, Response::Without::Nothing};
            else if (page == QLatin1String("silent") || page == QLatin1String("closed"))
                r.withoutAnswer = page == QLatin1String("silent") ? Response::Without::Silent : Response::Without::Closed;
            else if (!linked && page != QLatin1String("none"))
                r = {404, "Not Found", {}, {}, {}, Response::Without::Nothing}; // robots.txt too
            return r;
        });
        const QString project = env.path("sites.prj");
        const QString history = env.path("nightly.history.sqlite");
        for (int night = 0; night < nights.size(); ++night) {
            Project p;
            QVERIFY(night == 0 || ProjectFile::read(p, project).complete);
            QStringList sets{"txtTimeout=2", "RetryDelay=0"};
            QString mainUrl = QStringLiteral("http://www.mysite.com/links.htm");
            pages.clear();
            for (const QString &token : nights.at(night).split(QLatin1Char(' '))) {
                const QString key = token.section(QLatin1Char('='), 0, 0), value = token.section(QLatin1Char('='), 1);
                if (key == QLatin1String("main"))
                    mainUrl = value;
                else if (key == QLatin1String("set"))
                    sets << value;
                else
                    pages.insert(key, value);
            }
            if (night == 0) {
                p.addMainSite(mainUrl);
                for (const QString &name : pages.keys())
                    p.addLinkingSite(0, QStringLiteral("127.0.0.1/%1/").arg(name));
            }
            p.renameMainSite(0, mainUrl);
            QVERIFY(ProjectFile::write(p, project));

            QStringList arguments{"--port", QString::number(server.port()), "--program-folder", env.programFolder(),
                                  "--quiet", "--history", history, "--changes", "--json", env.path("scan.json"),
                                  "--output", project};
            for (const QString &kv : sets)
                arguments << "--set" << kv;
            QProcess scan;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
            scan.setProcessEnvironment(environment);
            scan.start(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"), arguments << project);
            // The partners answer from this process: wait with its events running.
            QTRY_VERIFY_WITH_TIMEOUT(scan.state() == QProcess::NotRunning, 60000);
            QCOMPARE(scan.exitStatus(), QProcess::NormalExit);
            QCOMPARE(QString::fromLocal8Bit(scan.readAllStandardError()), QString());

            // The changes, each "Kind NAME" with NAME from the partner's URL.
            QStringList changes;
            for (const QByteArray &line : scan.readAllStandardOutput().split('\n')) {
                const QList<QByteArray> fields = line.split('\t');
                if (fields.size() == 6)
                    changes << QString::fromUtf8(fields.at(0)) + QLatin1Char(' ')
                                   + QString::fromUtf8(fields.at(5)).section(QLatin1Char('/'), 1, 1);
            }
            QString outcome = QStringLiteral("%1: %2").arg(scan.exitCode()).arg(changes.join(QStringLiteral(", ")));
            // Every site of the JSON says whether its page was read, and why not.
            const QJsonArray sites = QJsonDocument::fromJson(env.readFile("scan.json"))["linkingSites"].toArray();
            QCOMPARE(sites.size(), qsizetype(pages.size()));
            QStringList notRead;
            for (const QJsonValue &site : sites) {
                const QString name = site["url"].toString().section(QLatin1Char('/'), 1, 1);
                if (!site["checked"].toBool())
                    notRead << QStringLiteral("%1 (%2)").arg(name, site["reason"].toString("null"));
            }
            notRead.sort();
            if (!notRead.isEmpty())
                outcome += QStringLiteral("; not read: ") + notRead.join(QStringLiteral(", "));
            QCOMPARE(outcome.trimmed(), expected.at(night));
        }
    }

    // A database from a newer version is left alone rather than written.
    void newerSchemaIsNotTouched()
    {
        TestEnv env;
        const QString path = env.path("new.history.sqlite");
        {
            QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
            d.setDatabaseName(path);
            QVERIFY(d.open());
            QVERIFY(QSqlQuery(d).exec(QStringLiteral("PRAGMA user_version = 99")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("newer"));
        HistoryDatabase db(path);
        QVERIFY(!db.isOpen());
        QVERIFY(db.errorText().contains("newer version"));
        QCOMPARE(db.storeRun(recordOf("a.org/|Direct Link|a.org/")), qint64(0));
    }

    // A writer killed inside its transaction leaves the runs before whole and
    // nothing of its own run; the file takes the next run as usual.
    void interruptedWriteLeavesEarlierRunsWhole()
    {
        TestEnv env;
        const QString path = env.path("sites.history.sqlite");
        {
            HistoryDatabase db(path);
            QVERIFY(db.storeRun(recordOf("a.org/|Direct Link|a.org/;b.org/|Direct Link|b.org/")));
            QVERIFY(db.storeRun(recordOf("a.org/|None Found|a.org;b.org/|Direct Link|b.org/")));
        }
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--store-endless-run"), path});
        QVERIFY(child.waitForStarted());
        // The rollback journal appears with the transaction's first write.
        const QString journal = path + QStringLiteral("-journal");
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(journal) && child.state() == QProcess::Running && waited.elapsed() < 60000)
            QThread::msleep(1);
        QVERIFY2(QFileInfo::exists(journal), "the child never began its transaction");
        QThread::msleep(200); // well inside the 300,000 inserts
        QCOMPARE(child.state(), QProcess::Running);
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(QFileInfo::exists(journal)); // a hot journal: the write never finished

        HistoryDatabase db(path);
        QVERIFY2(db.isOpen(), qPrintable(db.errorText()));
        QCOMPARE(db.runs().size(), 2);
        QCOMPARE(db.changesOf(2).changes.size(), 1);
        QCOMPARE(db.siteHistory("mysite.com", "a.org/").size(), 2);
        QCOMPARE(db.chart("mysite.com").size(), 2);
        {
            QSqlDatabase check = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            check.setDatabaseName(path);
            QVERIFY(check.open());
            QSqlQuery q(check);
            QVERIFY(q.exec(QStringLiteral("PRAGMA integrity_check")) && q.next());
            QCOMPARE(q.value(0).toString(), QString("ok"));
            QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM sites")) && q.next());
            QCOMPARE(q.value(0).toInt(), 2);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        QCOMPARE(db.storeRun(recordOf("a.org/|Direct Link|a.org/")), qint64(3));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--store-endless-run") == 0) {
        QCoreApplication app(argc, argv);
        return storeEndlessRun(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestHistory test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history.moc"
