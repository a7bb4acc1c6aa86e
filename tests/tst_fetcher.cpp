// The socket fetcher and the whole-page download against scripted loopback
// servers, byte for byte.
#include "net/HttpFetcher.h"
#include "net/HttpStatus.h"
#include "net/WholePageDownload.h"
#include "support/NginxRunner.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestEnv.h"

#include <QSignalSpy>
#include <QtTest>

class TestFetcher : public QObject
{
    Q_OBJECT

    // Fetches one entry from the scripted server and waits for the page.
    struct Fetch
    {
        HttpFetcher fetcher;
        QSignalSpy pages{&fetcher, &HttpFetcher::pageArrived};
        QSignalSpy errors{&fetcher, &HttpFetcher::statusError};
        QSignalSpy progress{&fetcher, &HttpFetcher::progress};
        QSignalSpy ticks{&fetcher, &HttpFetcher::idleTick};
        Fetch(quint16 port, const QString &entry)
        {
            fetcher.setPort(port);
            fetcher.fetch(0, entry);
        }
        QString page() const { return pages.isEmpty() ? QString() : pages.first().at(1).toString(); }
    };

private slots:
    void requestBytesAreExact()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\nbody"));
        Fetch f(server.port(), QStringLiteral("http://127.0.0.1/dir/page.html"));
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(server.requests().value(0),
                 QByteArray("GET /dir/page.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nAccept: */*\r\n\r\n"));
        QCOMPARE(f.page(), QStringLiteral("body"));
        QCOMPARE(f.fetcher.strCurUrl(), QStringLiteral("127.0.0.1/dir/page.html"));
        QCOMPARE(f.fetcher.strCurDir(), QStringLiteral("127.0.0.1/dir/"));
    }

    void headSplitOverTwoArrivals()
    {
        ScriptedHttpServer server;
        ScriptedReply r;
        r.pieces = {{0, "HTTP/1.1 200 OK\r\nContent-Le"}, {80, "ngth: 12\r\n\r\nhello "}, {80, "world!"}};
        server.setReply(r);
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.page(), QStringLiteral("hello world!"));
        QCOMPARE(f.fetcher.slotRecord(0).contentLength, 12);
        QVERIFY(f.fetcher.slotRecord(0).headComplete);
        QCOMPARE(f.fetcher.slotRecord(0).received, qint64(12)); // body bytes once the head is known
        QCOMPARE(f.progress.last().at(0).toInt(), 100);
    }

    // A front end may take its time to show a status, letting events run:
    // the pieces and the close that arrive meanwhile are all kept.
    void slowFrontEndLosesNoPiece()
    {
        ScriptedHttpServer server;
        ScriptedReply r;
        r.pieces = {{0, "HTTP/1.1 200 OK\r\n\r\none "}, {100, "two "}, {100, "three"}};
        server.setReply(r);
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        bool slow = false;
        connect(&f.fetcher, &HttpFetcher::statusText, this, [&slow](const QString &text) {
            if (!slow && text.endsWith(QLatin1Char(')'))) {
                slow = true;
                QTest::qWait(600);
            }
        });
        QTRY_COMPARE(f.pages.size(), 1);
        QVERIFY(slow);
        QCOMPARE(f.page(), QStringLiteral("one two three"));
    }

    void lowerCaseContentLengthIsNotRead()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nabcde"));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.fetcher.slotRecord(0).contentLength, 0);
        // Only the connect step's 0 moves the bar.
        for (const QList<QVariant> &p : std::as_const(f.progress))
            QCOMPARE(p.at(0).toInt(), 0);
    }

    void responseWithoutBlankLineIsAllPageText()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 404 Not Found\r\nX: y\r\nno blank line"));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/a.htm"));
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.page(), QStringLiteral("HTTP/1.1 404 Not Found\r\nX: y\r\nno blank line"));
        QCOMPARE(f.errors.size(), 0);
    }

    void errorStatusesAreRecorded_data()
    {
        QTest::addColumn<QByteArray>("statusLine");
        QTest::addColumn<QString>("error");
        QTest::newRow("404") << QByteArray("HTTP/1.1 404 Not Found") << "404 Not found";
        QTest::newRow("402") << QByteArray("HTTP/1.1 402 Payment Required") << "402 PaymentRequired";
        QTest::newRow("408") << QByteArray("HTTP/1.0 408 Request Timeout") << "408 request timeout";
        QTest::newRow("505") << QByteArray("HTTP/1.1 505 HTTP Version Not Supported") << "505 HTTP Not Version";
        QTest::newRow("301 is a page") << QByteArray("HTTP/1.1 301 Moved Permanently") << "";
        QTest::newRow("200") << QByteArray("HTTP/1.1 200 OK") << "";
        QTest::newRow("no reason phrase") << QByteArray("HTTP/1.1 404") << "";
    }
    void errorStatusesAreRecorded()
    {
        QFETCH(QByteArray, statusLine);
        QFETCH(QString, error);
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole(statusLine + "\r\nServer: t\r\n\r\n<p>x</p>"));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/missing.html"));
        QTRY_COMPARE(f.pages.size(), 1);
        if (error.isEmpty()) {
            QCOMPARE(f.errors.size(), 0);
        } else {
            QCOMPARE(f.errors.size(), 1);
            QCOMPARE(f.errors.first().at(0).toString(), error);
            QCOMPARE(f.errors.first().at(1).toString(), QStringLiteral("127.0.0.1/missing.html"));
        }
        QCOMPARE(f.page(), QStringLiteral("<p>x</p>"));
    }

    void statusCodeParsing()
    {
        QCOMPARE(HttpStatus::statusCode(QStringLiteral("HTTP/1.1 404 Not Found\r\n\r\n")), QStringLiteral("404"));
        QCOMPARE(HttpStatus::statusCode(QStringLiteral("HTTP/1.1  404 x")), QStringLiteral(""));
        QCOMPARE(HttpStatus::statusCode(QStringLiteral("nospace")), QString());
        QCOMPARE(HttpStatus::errorForHead(QStringLiteral("HTTP/1.1 404\r\nA: b\r\n\r\n")), QString());
        QCOMPARE(HttpStatus::errorText(QStringLiteral("415")), QStringLiteral("415 Unsupported Media Type"));
    }

    void headTextIsRemovedFromTheBodyIgnoringCase()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\nA http/1.1 200 ok\r\n\r\nB"));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.page(), QStringLiteral("A B"));
    }

    void silentServerOnlyTicks()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::silent());
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_VERIFY_WITH_TIMEOUT(f.ticks.size() >= 2, 4000);
        QCOMPARE(f.pages.size(), 0);
        QCOMPARE(f.fetcher.addIdleSecond(0), 1); // no data: the count is only what the engine adds
    }

    void serverThatNeverClosesNeverCompletes()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody",
                                             ScriptedReply::Ending::KeepOpen));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.fetcher.slotRecord(0).received, qint64(4));
        QTest::qWait(300);
        QCOMPARE(f.pages.size(), 0); // completion is only ever the server's close
        QVERIFY(f.fetcher.slotRecord(0).idleSeconds == 0);
    }

    void endlessBodyStopsAtTheCap()
    {
        ScriptedHttpServer server;
        ScriptedReply r = ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\n", ScriptedReply::Ending::Endless);
        server.setReply(r);
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_VERIFY_WITH_TIMEOUT(f.pages.size() == 1, 20000);
        QCOMPARE(f.fetcher.slotRecord(0).response.size(), HttpFetcher::kResponseCap);
        QCOMPARE(f.page().size(), HttpFetcher::kResponseCap - 19);
        // The fetcher has let go of the connection: the server sees it close.
        QTRY_VERIFY(!server.hasOpenConnection());
    }

    void closeByTheProgramGivesNoPage()
    {
        ScriptedHttpServer server;
        ScriptedReply r;
        r.pieces = {{0, "HTTP/1.1 200 OK\r\n\r\nfirst"}, {300, "second"}};
        server.setReply(r);
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.fetcher.slotRecord(0).received, qint64(5));
        f.fetcher.closeSlot(0);
        QTest::qWait(500);
        QCOMPARE(f.pages.size(), 0);
        // The slot serves the next fetch as new.
        f.fetcher.fetch(0, QStringLiteral("127.0.0.1/again"));
        QTRY_COMPARE_WITH_TIMEOUT(f.pages.size(), 1, 3000);
        QCOMPARE(f.page(), QStringLiteral("firstsecond"));
    }

    void nothingIsTakenWhileTheScanIsNotRunning()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\nbody"));
        HttpFetcher fetcher;
        fetcher.setPort(server.port());
        fetcher.setRunningCheck([] { return false; });
        QSignalSpy pages(&fetcher, &HttpFetcher::pageArrived);
        fetcher.fetch(0, QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(server.requests().size(), 1); // the request still goes out
        QTest::qWait(200);
        QCOMPARE(pages.size(), 0);
        QCOMPARE(fetcher.slotRecord(0).received, qint64(0));
    }

    void downloadPrefixesOnlyWithoutAScheme()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nshort"));
        QString url = QStringLiteral("127.0.0.1:%1/p.htm").arg(server.port());
        QCOMPARE(downloadWholePage(url), QStringLiteral("short"));
        QCOMPARE(url, QStringLiteral("http://127.0.0.1:%1/p.htm").arg(server.port()));
        const QByteArray request = server.requests().value(0);
        QVERIFY(request.startsWith("GET /p.htm HTTP/1.1\r\n"));
        QVERIFY(request.contains("User-Agent: Mozilla\r\n"));
        QVERIFY(request.contains("Cache-Control: no-cache\r\n"));
        QVERIFY(request.contains("Pragma: no-cache\r\n"));

        QString https = QStringLiteral("HTTPS://127.0.0.1:%1/").arg(server.port());
        downloadWholePage(https, 500);
        QCOMPARE(https, QStringLiteral("HTTPS://127.0.0.1:%1/").arg(server.port()));
    }

    void downloadReturnsBodiesOfErrorsAndNothingOnFailure()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"));
        QString url = QStringLiteral("http://127.0.0.1:%1/x").arg(server.port());
        QCOMPARE(downloadWholePage(url), QStringLiteral("gone"));

        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost, 0);
        const quint16 port = closed.serverPort();
        closed.close();
        QString refused = QStringLiteral("127.0.0.1:%1/").arg(port);
        QCOMPARE(downloadWholePage(refused), QString());
    }

    void downloadGivesUpOnSilenceWithWhatWasRead()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial",
                                             ScriptedReply::Ending::KeepOpen));
        QString url = QStringLiteral("127.0.0.1:%1/").arg(server.port());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(downloadWholePage(url, 400), QStringLiteral("partial"));
        QVERIFY(clock.elapsed() < 5000);
    }

    void downloadFollowsRedirects()
    {
        TestEnv env;
        NginxRunner nginx(QStringLiteral(RECIPLEX_TEST_DATA "/site"));
        QVERIFY2(nginx.isRunning(), qPrintable(nginx.failure()));
        QString url = QStringLiteral("127.0.0.1:%1/moved").arg(nginx.port());
        QVERIFY(downloadWholePage(url).contains(QLatin1String("page2.html")));
    }
};

QTEST_GUILESS_MAIN(TestFetcher)
#include "tst_fetcher.moc"
