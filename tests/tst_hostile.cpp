// Whole scans against servers that misbehave on purpose: huge bodies, huge
// lines, binary bytes, a flood of anchors, garbage heads, a reset, a host that
// cannot be resolved and a server that drips. Every scan must end with the
// rows and errors the bad answer deserves, and go on to the next site.
#include "net/PageFetcher.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/ScriptedScanRig.h"

#include <QtTest>

namespace {

const QByteArray kOkHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
const QByteArray kLinkToMainSite = "<a href=\"http://www.mysite.com/links.htm\">me</a>";
const QString kNextSiteRow = QStringLiteral("Direct Link|001|127.0.0.1|127.0.0.1/next");

// The hostile site first, then a well-behaved one that links back, so every
// test sees the scan go on.
struct HostileRig : ScriptedScanRig
{
    QByteArray firstCache; // html0.txt once the first site is done

    explicit HostileRig(int timeOutSeconds = 1)
        : ScriptedScanRig(timeOutSeconds)
    {
        frontEnd.onFinished = [this] {
            if (firstCache.isNull())
                firstCache = env.readFile(QStringLiteral("html0.txt"));
        };
    }
    void serve(const ScriptedReply &hostile)
    {
        server.addReply(hostile);
        server.addReply(ScriptedReply::whole(kOkHead + kLinkToMainSite));
        addSite(QStringLiteral("127.0.0.1/"));
        addSite(QStringLiteral("127.0.0.1/next/"));
    }
};

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT
private slots:
    void fiftyMegabyteBodyStopsAtTheCap()
    {
        // A time-out of 5 s: a loaded machine takes more than a second to
        // read the 16 MiB, and it is the cap, not the idle limit, that must end the page.
        HostileRig rig(5);
        // The link lies beyond the cap: it must never be seen.
        QByteArray body(50 * 1024 * 1024, 'x');
        body.replace(20 * 1024 * 1024, kLinkToMainSite.size(), kLinkToMainSite);
        rig.serve(ScriptedReply::whole(kOkHead + body));
        body.clear();
        QVERIFY(rig.run(60000));

        QCOMPARE(rig.rows(), (QStringList{"None Found|000|127.0.0.1|127.0.0.1", kNextSiteRow}));
        QVERIFY(rig.errors().isEmpty());
        QCOMPARE(rig.server.connectionCount(), 2);
        // The page analysed was the body up to the cap (and the cache file's CR LF).
        QCOMPARE(rig.firstCache.size(), PageFetcher::kPageCap + 2);
    }

    void tenMegabyteLineWithoutBreak()
    {
        HostileRig rig;
        // An anchor whose value runs 10 MiB without any terminator or line
        // break, then the link back.
        const QByteArray run(10 * 1024 * 1024, 'a');
        rig.serve(ScriptedReply::whole(kOkHead + "<html><a href=\"" + run + ".html " + kLinkToMainSite));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(60000));
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1", kNextSiteRow}));
        QVERIFY(rig.errors().isEmpty());
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
    }

    void binaryBytesPassThroughUnchanged()
    {
        HostileRig rig;
        QByteArray every;
        for (int i = 0; i < 256; ++i)
            every += char(i);
        const QByteArray body = every + every + QByteArrayLiteral("<a href=\"http://www.mysite.com/links.htm\0tail\">x</a>") + every;
        QCOMPARE(body.count('\0'), 4);
        rig.serve(ScriptedReply::whole(kOkHead + body));
        QVERIFY(rig.run(10000));
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1", kNextSiteRow}));
        // Every byte value reaches the cache file unchanged, NUL included.
        QVERIFY(rig.firstCache.startsWith(every + every + "<a \r\nhref=\"http://www.mysite.com/links.htm"));
        QVERIFY(rig.firstCache.endsWith(every + "\r\n"));
    }

    void hundredThousandAnchors()
    {
        HostileRig rig;
        QByteArray body = "<html><body>\n";
        body.reserve(3 * 1024 * 1024);
        for (int i = 1; i < 100000; ++i)
            body += "<a href=\"p" + QByteArray::number(i) + ".html\">" + QByteArray::number(i) + "</a>\n";
        body += kLinkToMainSite + "</body></html>";
        rig.serve(ScriptedReply::whole(kOkHead + body));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(60000));
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1", kNextSiteRow}));
        QCOMPARE(rig.engine.statistics().pagesFound, 99999);
        QCOMPARE(rig.server.connectionCount(), 2); // the link ended the site: nothing queued was fetched
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
    }

    // The link notes read tags in bounded pieces: eight megabytes of meta
    // tags whose quotes never close, then links inside one anchor tag.
    void linkNotesOnUnendingTags()
    {
        HostileRig rig;
        SettingsStore::instance().write(Keys::chkLinkNotes, QStringLiteral("1"));
        const QByteArray body = QByteArray("<meta name=robots content=\"").repeated(300000) + "\">\n<a rel=nofollow "
                              + QByteArray("href=\"http://www.mysite.com/links.htm\" ").repeated(3) + ">x</a>";
        rig.server.addReply(ScriptedReply::whole(kOkHead + body));
        rig.server.addReply(ScriptedReply::whole(kOkHead + kLinkToMainSite)); // robots.txt, then the next site
        rig.addSite(QStringLiteral("127.0.0.1/"), QStringLiteral("3"));
        rig.addSite(QStringLiteral("127.0.0.1/next/"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(60000));
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1|nofollow",
                                          "Direct Link|002|127.0.0.1|127.0.0.1|nofollow",
                                          "Direct Link|003|127.0.0.1|127.0.0.1|nofollow", kNextSiteRow}));
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
    }

    void anchorOfAMillionParentSteps()
    {
        HostileRig rig;
        rig.serve(ScriptedReply::whole(kOkHead + "<a href=\"" + QByteArray("../").repeated(1000000) + "x.html\">x</a>\r\n"
                                       + kLinkToMainSite));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(60000));
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1", kNextSiteRow}));
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
    }

    void garbageHeads()
    {
        HostileRig rig;
        const QList<QByteArray> heads = {
            QByteArrayLiteral("\x00\x01\x02garbage-without-a-space\r\n\r\n"),
            "NOT-HTTP 404Bad\r\n\r\n",                         // no reason phrase: no status
            "HTTP/1.1 99999999999999999999999 Huge\r\n\r\n",
            "HTTP/1.1 200 OK\r\nContent-Length: -2147483648\r\n\r\n",
            "HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
            "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n",     // far less than arrives
            "no blank line at all ",                           // the whole answer is page text
        };
        for (int i = 0; i < heads.size(); ++i) {
            rig.server.addReply(ScriptedReply::whole(heads.at(i) + kLinkToMainSite));
            rig.addSite(QStringLiteral("127.0.0.1/s%1/").arg(i));
        }
        QVERIFY(rig.run(20000));
        QStringList expected;
        for (int i = 0; i < heads.size(); ++i)
            expected << QStringLiteral("Direct Link|001|127.0.0.1|127.0.0.1/s%1").arg(i);
        QCOMPARE(rig.rows(), expected);
        QVERIFY(rig.errors().isEmpty());
    }

    void resetInMidBody()
    {
        HostileRig rig;
        ScriptedReply reply;
        reply.pieces = {{0, kOkHead + "<html>" + kLinkToMainSite + QByteArray(64 * 1024, 'z')}, {300, QByteArray()}};
        reply.ending = ScriptedReply::Ending::Reset;
        rig.serve(reply);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(10000));
        // The reset ends the page as a close would, with what had arrived.
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1", kNextSiteRow}));
        QVERIFY(rig.errors().isEmpty());
        QVERIFY2(clock.elapsed() < 900, qPrintable(QString::number(clock.elapsed()))); // not by the time-out
    }

    void hostThatDoesNotResolve()
    {
        HostileRig rig;
        // The empty label makes the name fail inside the process, so no query
        // goes to a name server.
        rig.server.addReply(ScriptedReply::whole(kOkHead + kLinkToMainSite));
        rig.addSite(QStringLiteral("no-such-host..invalid/"));
        rig.addSite(QStringLiteral("127.0.0.1/next/"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(10000));
        QVERIFY(clock.elapsed() < 900); // said at once, not after the second of time-out
        QCOMPARE(rig.errors(), QStringList{"Host not found|no-such-host..invalid"});
        QCOMPARE(rig.rows(),
                 (QStringList{"None Found (Host not found)|000|no-such-host..invalid|no-such-host..invalid", kNextSiteRow}));
    }

    // A byte every half second comes before every idle tick, so the server
    // never goes idle; the page is ended after ten times the time-out.
    void drippingServerEndsAsATimeOut()
    {
        HostileRig rig(2);
        rig.serve(ScriptedReply::drip(kOkHead + QByteArray(200, 'd'), 500));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(40000));
        const qint64 took = clock.elapsed();
        QCOMPARE(rig.errors(), QStringList{"Timeout|127.0.0.1"});
        QCOMPARE(rig.rows(), (QStringList{"None Found (Timeout)|000|127.0.0.1|127.0.0.1", kNextSiteRow}));
        QVERIFY2(took >= 19000 && took < 26000, qPrintable(QString::number(took)));
        // It was the page's length, not silence, that ended it.
        QVERIFY(!rig.frontEnd.statusLog.contains(QStringLiteral("4:2 of 2 seconds")));
        QVERIFY(rig.frontEnd.statusLog.contains(QStringLiteral("4:1 of 2 seconds")));
    }

    // The target of a redirect page is downloaded whole. One that never ends
    // must neither hold the scan past ten times the time-out nor outlast a
    // Skip or a Stop.
    void redirectTargetThatNeverEnds_data()
    {
        QTest::addColumn<bool>("drip");
        QTest::addColumn<QString>("press");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<qint64>("minMs");
        QTest::addColumn<qint64>("maxMs");
        const QString none = QStringLiteral("None Found|000|127.0.0.1|127.0.0.1");
        QTest::newRow("dripping target, time-out 1 s") << true << "" << QStringList{none, kNextSiteRow}
                                                       << qint64(9000) << qint64(16000);
        QTest::newRow("silent target, Skip") << false << "skip"
                                             << QStringList{"None Found (Skipped)|000|127.0.0.1|127.0.0.1", kNextSiteRow}
                                             << qint64(0) << qint64(3000);
        QTest::newRow("silent target, Stop") << false << "stop" << QStringList{} << qint64(0) << qint64(3000);
    }
    void redirectTargetThatNeverEnds()
    {
        QFETCH(bool, drip);
        QFETCH(QString, press);
        QFETCH(QStringList, rows);
        QFETCH(qint64, minMs);
        QFETCH(qint64, maxMs);
        HostileRig rig(1);
        const QByteArray target = "http://127.0.0.1:" + QByteArray::number(rig.server.port()) + "/target.html";
        rig.server.addReply(ScriptedReply::whole(kOkHead + "<title>Document Moved</title><a href=\"" + target
                                                 + "\">here</a>"));
        ScriptedReply targetReply = ScriptedReply::silent();
        if (drip) {
            targetReply = ScriptedReply::drip(QByteArray(100, 'd'), 300);
            targetReply.pieces.prepend({0, kOkHead});
        }
        rig.server.addReply(targetReply);
        rig.server.addReply(ScriptedReply::whole(kOkHead + kLinkToMainSite));
        rig.addSite(QStringLiteral("127.0.0.1/"));
        rig.addSite(QStringLiteral("127.0.0.1/next/"));
        bool pressed = false;
        rig.frontEnd.onStatus = [&](int panel, const QString &text) {
            if (!pressed && !press.isEmpty() && panel == 2 && text == QLatin1String("Getting Links")) {
                pressed = true; // while the target is being downloaded
                QTimer::singleShot(300, &rig.engine, press == QLatin1String("skip") ? &ScanRun::skipCurrent
                                                                                  : &ScanRun::stopScan);
            }
        };
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(90000));
        const qint64 took = clock.elapsed();
        QCOMPARE(rig.rows(), rows);
        QVERIFY2(took >= minMs && took < maxMs, qPrintable(QString::number(took)));
        QCOMPARE(rig.server.requests().value(1).left(21), QByteArray("GET /target.html HTTP"));
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
