// The scan history: what counts as a change between runs, a database of the
// first schema brought up to date, and a writer killed inside its transaction.
// Real SQLite files in temporary folders throughout.
#include "history/ChangeText.h"
#include "history/HistoryDatabase.h"
#include "history/ProjectHistory.h"
#include "history/RunCapture.h"
#include "model/Project.h"
#include "support/TestEnv.h"

#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <csignal>

namespace {

// A scan's rows of Main Site "mysite.com" as "host|status|url|notes", the
// rows of one run joined by ";". Link statuses get the found image.
QList<LinkResult> rowsOf(const QString &run)
{
    QList<LinkResult> rows;
    for (const QString &text : run.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList f = text.split(QLatin1Char('|'));
        LinkResult r;
        r.mainSite = QStringLiteral("mysite.com");
        r.remoteSite = f.value(0);
        r.status = f.value(1);
        r.url = f.value(2);
        r.notes = f.value(3);
        r.icon = r.status.endsWith(QLatin1String(" Link")) ? 2 : 1;
        r.number = r.icon == 2 ? QStringLiteral("001") : QStringLiteral("000");
        rows.append(r);
    }
    return rows;
}

RunRecord recordOf(const QString &run)
{
    Project p;
    p.addMainSite(QStringLiteral("http://www.mysite.com"));
    p.setResults(rowsOf(run));
    RunRecord r;
    r.info.started = r.info.finished = QDateTime::currentDateTimeUtc();
    r.sites = RunCapture::sitesOfResults(p);
    return r;
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

    // Each row: the runs in order, then the changes of the last run as
    // reciplex-scan prints them and the run it is compared with (0: none).
    void changesSinceTheLastRun_data()
    {
        QTest::addColumn<QStringList>("runs");
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<int>("previousRun");
        const QString linked = QStringLiteral("a.org|Direct Link|a.org/links.htm");
        QTest::newRow("first run: nothing to compare") << QStringList{linked} << QStringList{} << 0;
        QTest::newRow("unchanged") << QStringList{linked, linked} << QStringList{} << 1;
        QTest::newRow("lost") << QStringList{linked, "a.org|None Found (404 Not found)|a.org"}
                              << QStringList{"Lost\tmysite.com\ta.org\tDirect Link on a.org/links.htm\tNone Found (404 Not found)"}
                              << 1;
        QTest::newRow("new") << QStringList{"a.org|None Found|a.org", linked}
                             << QStringList{"New\tmysite.com\ta.org\tNone Found\tDirect Link on a.org/links.htm"} << 1;
        QTest::newRow("moved") << QStringList{linked, "a.org|Direct Link|a.org/partners.htm"}
                               << QStringList{"Moved\tmysite.com\ta.org\tDirect Link on a.org/links.htm\tDirect Link on a.org/partners.htm"}
                               << 1;
        QTest::newRow("notes changed") << QStringList{linked, "a.org|Direct Link|a.org/links.htm|nofollow"}
                                       << QStringList{"Notes changed\tmysite.com\ta.org\tDirect Link on a.org/links.htm\t"
                                                      "Direct Link (nofollow) on a.org/links.htm"}
                                       << 1;
        // The scan was stopped before b.org: it has no rows and is not lost.
        QTest::newRow("stopped scan") << QStringList{linked + ";b.org|Direct Link|b.org/", linked} << QStringList{} << 1;
        QTest::newRow("skipped site") << QStringList{linked + ";b.org|Direct Link|b.org/", linked + ";b.org|None Found (Skipped)|b.org"}
                                      << QStringList{} << 1;
        // A site skipped last time is compared with the run before.
        QTest::newRow("lost after a skip")
            << QStringList{linked + ";b.org|Direct Link|b.org/", linked + ";b.org|None Found (Skipped)|b.org",
                           linked + ";b.org|None Found (Timeout)|b.org"}
            << QStringList{"Lost\tmysite.com\tb.org\tDirect Link on b.org/\tNone Found (Timeout)"} << 2;
        QTest::newRow("fewer links than expected still links")
            << QStringList{linked, linked + ";a.org|Missing 001|a.org/links.htm"} << QStringList{} << 1;
        QTest::newRow("a new partner that links")
            << QStringList{linked, linked + ";c.org|Redirect Link|c.org/go"}
            << QStringList{"New\tmysite.com\tc.org\tNot checked\tRedirect Link on c.org/go"} << 1;
        // The host is the identity: "www." and letter case do not matter.
        QTest::newRow("known by host") << QStringList{"www.a.org|Direct Link|www.a.org/l", "A.org|None Found|A.org"}
                                       << QStringList{"Lost\tmysite.com\twww.a.org\tDirect Link on www.a.org/l\tNone Found"} << 1;
        QTest::newRow("lost listed first")
            << QStringList{"a.org|None Found|a.org;b.org|Direct Link|b.org/", "a.org|Direct Link|a.org/;b.org|None Found|b.org"}
            << QStringList{"Lost\tmysite.com\tb.org\tDirect Link on b.org/\tNone Found",
                           "New\tmysite.com\ta.org\tNone Found\tDirect Link on a.org/"}
            << 1;
    }

    void changesSinceTheLastRun()
    {
        QFETCH(QStringList, runs);
        QFETCH(QStringList, changes);
        QFETCH(int, previousRun);
        TestEnv env;
        HistoryDatabase db(env.path("sites.history.sqlite"));
        QVERIFY2(db.isOpen(), qPrintable(db.errorText()));
        qint64 last = 0;
        for (const QString &run : runs) {
            last = db.storeRun(recordOf(run));
            QVERIFY2(last > 0, qPrintable(db.errorText()));
        }
        const RunChanges found = db.changesOf(last);
        QStringList lines;
        for (const SiteChange &c : found.changes)
            lines << ChangeText::line(c);
        QCOMPARE(lines, changes);
        QCOMPARE(found.previousRunId, qint64(previousRun));
    }

    // A database of the first schema, written with plain SQL as that version
    // wrote it, is brought up to date: its runs compare and chart as if this
    // version had stored them, and new runs follow on.
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
                     "INSERT INTO sites VALUES (1, 'mysite.com', 'a.org', 'mysite.com', 'a.org')",
                     "INSERT INTO sites VALUES (2, 'mysite.com', 'b.org', 'mysite.com', 'b.org')",
                     "INSERT INTO site_runs VALUES (1, 1, 'a.org', 'Direct Link', 1, '', 'a.org/l', '', '', 0)",
                     "INSERT INTO site_runs VALUES (1, 2, 'b.org', 'Direct Link', 2, '', 'b.org/l', '', '', 0)",
                     "INSERT INTO site_runs VALUES (2, 1, 'a.org', 'None Found', 0, '', 'a.org', '', '', 0)",
                     "INSERT INTO site_runs VALUES (2, 2, 'b.org', 'None Found (Skipped)', 0, '', 'b.org', '', '', 1)",
                 })
                QVERIFY2(q.exec(QString::fromLatin1(sql)), sql);
        }
        QSqlDatabase::removeDatabase(QStringLiteral("old"));

        HistoryDatabase db(path);
        QVERIFY2(db.isOpen(), qPrintable(db.errorText()));
        QCOMPARE(db.runs().size(), 2);
        QCOMPARE(db.runs().at(1).started, QDateTime(QDate(2024, 3, 8), QTime(10, 0), Qt::UTC));
        const RunChanges second = db.changesOf(2);
        QCOMPARE(second.changes.size(), 1);
        QCOMPARE(ChangeText::line(second.changes.at(0)),
                 QString("Lost\tmysite.com\ta.org\tDirect Link on a.org/l\tNone Found"));
        const QList<ChartPoint> chart = db.chart(QStringLiteral("mysite.com"));
        QCOMPARE(chart.size(), 2);
        QCOMPARE(chart.at(0).links, 3);
        QCOMPARE(chart.at(0).nonLinking, 0);
        QCOMPARE(chart.at(1).links, 0);
        QCOMPARE(chart.at(1).nonLinking, 1); // the skipped site is not counted
        // b.org was skipped in run 2: run 3 compares it with run 1.
        const qint64 third = db.storeRun(recordOf("a.org|Direct Link|a.org/l;b.org|None Found|b.org"));
        QCOMPARE(third, qint64(3));
        QStringList lines;
        for (const SiteChange &c : db.changesOf(third).changes)
            lines << ChangeText::line(c);
        QCOMPARE(lines, QStringList({"Lost\tmysite.com\tb.org\tDirect Link on b.org/l\tNone Found",
                                     "New\tmysite.com\ta.org\tNone Found\tDirect Link on a.org/l"}));
        QCOMPARE(db.siteHistory("mysite.com", "b.org").size(), 3);
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
        QCOMPARE(db.storeRun(recordOf("a.org|Direct Link|a.org/")), qint64(0));
    }

    // A writer killed inside its transaction leaves the runs before whole and
    // nothing of its own run; the file takes the next run as usual.
    void interruptedWriteLeavesEarlierRunsWhole()
    {
        TestEnv env;
        const QString path = env.path("sites.history.sqlite");
        {
            HistoryDatabase db(path);
            QVERIFY(db.storeRun(recordOf("a.org|Direct Link|a.org/;b.org|Direct Link|b.org/")));
            QVERIFY(db.storeRun(recordOf("a.org|None Found|a.org;b.org|Direct Link|b.org/")));
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
        QCOMPARE(db.siteHistory("mysite.com", "a.org").size(), 2);
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
        QCOMPARE(db.storeRun(recordOf("a.org|Direct Link|a.org/")), qint64(3));
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
