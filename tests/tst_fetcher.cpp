// The page fetcher, the fetch channel and the whole-page download against
// scripted loopback servers, byte for byte.
#include "net/FetchChannel.h"
#include "net/HostScheduler.h"
#include "net/HttpStatus.h"
#include "net/PageFetcher.h"
#include "net/SecureHosts.h"
#include "net/WholePageDownload.h"
#include "support/NginxRunner.h"
#include "support/ScriptedHttpServer.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/TestEnv.h"
#include "url/UrlText.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

class TestFetcher : public QObject
{
    Q_OBJECT

    static PageRequest requestFor(quint16 port, const QString &entry, bool secure = false)
    {
        const RequestTarget t = splitRequestTarget(entry);
        PageRequest r;
        r.host = t.host;
        r.path = t.path;
        r.port = port;
        r.tlsPort = port;
        r.secure = secure;
        r.userAgent = SettingsStore::instance().read(Keys::UserAgent, kDefaultUserAgent);
        return r;
    }

    // Fetches one entry from the scripted server.
    struct Fetch
    {
        PageFetcher fetcher;
        QSignalSpy done{&fetcher, &PageFetcher::finished};
        QSignalSpy data{&fetcher, &PageFetcher::dataArrived};
        Fetch(quint16 port, const QString &entry, bool secure = false) : fetcher(requestFor(port, entry, secure))
        {
            fetcher.start();
        }
        QString page() const { return fetcher.result().pageText(); }
        QString error() const { return HttpStatus::errorForHead(QString::fromLatin1(fetcher.result().head)); }
    };

private slots:
    void requestBytesAreExact_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("userAgent");
        QTest::addColumn<QByteArray>("agentLine");
        QTest::newRow("default user agent") << false << QString()
                                            << QByteArray("User-Agent: Mozilla/5.0 (compatible; Reciplex/3.0)\r\n");
        QTest::newRow("UserAgent empty: the request of old") << true << QString() << QByteArray();
        QTest::newRow("a stored line break stays out") << true << QStringLiteral("Bot/1\r\nX-Other: 1")
                                                       << QByteArray("User-Agent: Bot/1X-Other: 1\r\n");
        QTest::newRow("NUL and other control characters stay out")
            << true << QString::fromLatin1("Bot\0/1\x07\x7f\t", 9) << QByteArray("User-Agent: Bot/1\r\n");
    }
    void requestBytesAreExact()
    {
        QFETCH(bool, stored);
        QFETCH(QString, userAgent);
        QFETCH(QByteArray, agentLine);
        TestEnv env;
        if (stored)
            SettingsStore::instance().write(Keys::UserAgent, userAgent);
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\nbody"));
        Fetch f(server.port(), QStringLiteral("http://127.0.0.1/dir/page.html"));
        QTRY_COMPARE(f.done.size(), 1);
        QCOMPARE(server.requests().value(0),
                 "GET /dir/page.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nAccept: */*\r\n" + agentLine + "\r\n");
        QCOMPARE(f.page(), QStringLiteral("body"));
        // A host typed with non-ASCII letters is named in its ASCII form.
        QCOMPARE(PageFetcher::requestBytes(QStringLiteral("b\u00fccher.example:8080"), QStringLiteral("/")),
                 QByteArray("GET / HTTP/1.1\r\nHost: xn--bcher-kva.example:8080\r\nConnection: close\r\nAccept: */*\r\n\r\n"));
    }

    // The page text of a chunked answer is the body the server meant; a
    // broken stream gives what came.
    void chunkedBodiesAreDecoded_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("page");
        const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
        QTest::newRow("chunks joined") << chunked << QByteArray("4\r\nWiki\r\n5\r\npedia\r\n0\r\n\r\n") << "Wikipedia";
        QTest::newRow("extensions, spaces and trailers")
            << chunked << QByteArray("4;a=b\r\nWiki\r\nA \r\npedia 1234\r\n0\r\nX-Trailer: y\r\n\r\n") << "Wikipedia 1234";
        QTest::newRow("header in other letters") << QByteArray("HTTP/1.1 200 OK\r\ntransfer-encoding:  Chunked\r\n\r\n")
                                                 << QByteArray("4\r\nWiki\r\n0\r\n\r\n") << "Wiki";
        QTest::newRow("broken off inside a chunk") << chunked << QByteArray("4\r\nWiki\r\na\r\nhello") << "Wikihello";
        QTest::newRow("a size that is no number") << chunked << QByteArray("4\r\nWiki\r\nzz\r\nmore") << "Wiki";
        QTest::newRow("data longer than its size") << chunked << QByteArray("2\r\nWiki\r\n0\r\n\r\n") << "Wi";
        QTest::newRow("not chunked: as sent") << QByteArray("HTTP/1.1 200 OK\r\n\r\n")
                                              << QByteArray("4\r\nWiki\r\n0\r\n\r\n") << "4\r\nWiki\r\n0\r\n\r\n";
    }
    void chunkedBodiesAreDecoded()
    {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, body);
        QFETCH(QString, page);
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole(head + body));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.done.size(), 1);
        QCOMPARE(f.page(), page);
    }

    // The cap is on the page the server meant, not on its chunk framing:
    // one-byte chunks cost six bytes each on the wire.
    void oneByteChunksAreCappedByWhatTheyCarry()
    {
        ScriptedHttpServer server;
        QByteArray body;
        const qint64 bytes = PageFetcher::kPageCap + 1000;
        body.reserve(bytes * 6 + 5);
        for (qint64 i = 0; i < bytes; ++i)
            body += "1\r\nx\r\n";
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + body + "0\r\n\r\n"));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_VERIFY_WITH_TIMEOUT(f.done.size() == 1, 30000);
        QCOMPARE(f.fetcher.result().body.size(), PageFetcher::kPageCap);
        QVERIFY(f.fetcher.result().capped);
    }

    // Which plain answers send the page to https on the same host: only such a
    // redirect makes a host known to be secure and fetches the page again over TLS.
    void secureRedirects_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("target"); // host + path, "" for none
        const QByteArray moved = "HTTP/1.1 301 Moved Permanently\r\nLocation: ";
        QTest::newRow("301, same host") << moved + "https://Example.com/links/" << "example.com" << "Example.com/links/";
        QTest::newRow("www twin") << moved + "https://www.example.com/links/" << "example.com" << "www.example.com/links/";
        QTest::newRow("twin without www") << moved + "https://example.com/" << "WWW.example.com" << "example.com/";
        QTest::newRow("302, no path, port 443") << QByteArray("HTTP/1.1 302 Found\r\nLocation: HTTPS://example.com:443")
                                                << "example.com" << "example.com/";
        QTest::newRow("303") << QByteArray("HTTP/1.1 303 See Other\r\nlocation:https://example.com/a?b=c#top")
                             << "example.com" << "example.com/a?b=c";
        QTest::newRow("307") << QByteArray("HTTP/1.1 307 Temporary Redirect\r\nServer: x\r\nLocation: https://example.com/x")
                             << "example.com" << "example.com/x";
        QTest::newRow("308, no reason phrase") << QByteArray("HTTP/1.1 308\r\nLocation: https://example.com/x")
                                               << "example.com" << "example.com/x";
        QTest::newRow("non-ASCII host") << moved + "https://xn--bcher-kva.example/" << "b\u00fccher.example"
                                        << "xn--bcher-kva.example/";
        QTest::newRow("to plain http") << moved + "http://example.com/" << "example.com" << "";
        QTest::newRow("to another host") << moved + "https://example.org/" << "example.com" << "";
        QTest::newRow("to a subdomain") << moved + "https://shop.example.com/" << "example.com" << "";
        QTest::newRow("to another port") << moved + "https://example.com:8443/" << "example.com" << "";
        QTest::newRow("with credentials") << moved + "https://user@example.com/" << "example.com" << "";
        QTest::newRow("relative") << moved + "/links/" << "example.com" << "";
        QTest::newRow("200 with a Location") << QByteArray("HTTP/1.1 200 OK\r\nLocation: https://example.com/")
                                             << "example.com" << "";
        QTest::newRow("304") << QByteArray("HTTP/1.1 304 Not Modified\r\nLocation: https://example.com/")
                             << "example.com" << "";
    }
    void secureRedirects()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, host);
        QFETCH(QString, target);
        SecureRedirect to;
        const bool secure = secureRedirect(head, host, &to);
        QCOMPARE(secure ? to.host + to.path : QString(), target);
    }

    // A secure request whose server does not speak TLS: the page is given
    // up with the reason in words and no page text; a refused port and a
    // name without an ASCII form say so at once instead of waiting.
    void secureConnectionThatFails()
    {
        TestEnv env;
        ScriptedHttpServer server;
        ScriptedReply plain = ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\nplain text");
        plain.waitForRequest = false;
        server.setReply(plain);
        Fetch f(server.port(), QStringLiteral("127.0.0.1/a.html"), true);
        QTRY_COMPARE(f.done.size(), 1);
        QCOMPARE(f.fetcher.result().failure, PageResult::Failure::Secure);
        QCOMPARE(f.fetcher.result().failureText,
                 QStringLiteral("Secure connection failed: the server did not set up a secure connection"));
        QVERIFY(f.fetcher.result().body.isEmpty());

        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 closed = probe.serverPort();
        probe.close();
        QElapsedTimer clock;
        clock.start();
        Fetch refused(closed, QStringLiteral("127.0.0.1/"), true);
        QTRY_COMPARE(refused.done.size(), 1);
        QCOMPARE(refused.fetcher.result().failure, PageResult::Failure::Refused);
        Fetch noAscii(closed, QStringLiteral("b\u00fccher\u2024\u0301.example/"), false);
        QTRY_COMPARE(noAscii.done.size(), 1);
        QCOMPARE(noAscii.fetcher.result().failure, PageResult::Failure::BadName);
        QVERIFY(clock.elapsed() < 3000);
    }

    // A server that sends close_notify after its answer and waits for ours
    // before it closes TCP: the close_notify ends the page.
    void tlsCloseNotifyEndsThePage()
    {
        QProcess server;
        server.start(QStringLiteral("python3"), {QStringLiteral(RECIPLEX_TEST_SUPPORT "/tls_close_notify_server.py"),
                                                 QStringLiteral(RECIPLEX_TEST_DATA "/tls/loopback.crt"),
                                                 QStringLiteral(RECIPLEX_TEST_DATA "/tls/loopback.key")});
        QVERIFY2(server.waitForReadyRead(10000), qPrintable(server.readAllStandardError()));
        const quint16 port = quint16(server.readLine().trimmed().toUInt());
        PageRequest request = requestFor(port, QStringLiteral("127.0.0.1/"), true);
        request.acceptAnyCertificate = true;
        PageFetcher fetcher(request);
        QSignalSpy done(&fetcher, &PageFetcher::finished);
        fetcher.start();
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
        QCOMPARE(fetcher.result().pageText(), QStringLiteral("<p>The whole page.</p>"));
        server.kill();
        server.waitForFinished();
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
        connect(&f.fetcher, &PageFetcher::dataArrived, this, [&slow] {
            if (!slow) {
                slow = true;
                QTest::qWait(600);
            }
        });
        QTRY_COMPARE(f.done.size(), 1);
        QVERIFY(slow);
        QCOMPARE(f.page(), QStringLiteral("one two three"));
    }

    void lowerCaseContentLengthIsNotRead()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\nabcde"));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.done.size(), 1);
        QCOMPARE(f.fetcher.contentLength(), 0);
    }

    void responseWithoutBlankLineIsAllPageText()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 404 Not Found\r\nX: y\r\nno blank line"));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/a.htm"));
        QTRY_COMPARE(f.done.size(), 1);
        QCOMPARE(f.page(), QStringLiteral("HTTP/1.1 404 Not Found\r\nX: y\r\nno blank line"));
        QCOMPARE(f.error(), QString());
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
        QTRY_COMPARE(f.done.size(), 1);
        QCOMPARE(f.error(), error);
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
        QTRY_COMPARE(f.done.size(), 1);
        QCOMPARE(f.page(), QStringLiteral("A B"));
    }

    void silentServerOnlyTicks()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::silent());
        HostScheduler scheduler;
        FetchChannel channel(scheduler);
        QSignalSpy ticks(&channel, &FetchChannel::idleTick);
        QSignalSpy done(&channel, &FetchChannel::finished);
        channel.fetch(requestFor(server.port(), QStringLiteral("127.0.0.1/")));
        QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 2, 4000);
        QCOMPARE(done.size(), 0);
        QCOMPARE(channel.addIdleSecond(), 1); // no data: the count is only what the scan adds
    }

    void serverThatNeverClosesNeverCompletes()
    {
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody",
                                             ScriptedReply::Ending::KeepOpen));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.fetcher.received(), qint64(4));
        QTest::qWait(300);
        QCOMPARE(f.done.size(), 0); // completion is only ever the server's close
    }

    void endlessBodyStopsAtTheCap()
    {
        ScriptedHttpServer server;
        ScriptedReply r = ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\n", ScriptedReply::Ending::Endless);
        server.setReply(r);
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_VERIFY_WITH_TIMEOUT(f.done.size() == 1, 20000);
        QCOMPARE(f.fetcher.result().body.size(), PageFetcher::kPageCap);
        QCOMPARE(f.page().size(), PageFetcher::kPageCap);
        // The fetcher has let go of the connection: the server sees it close.
        QTRY_VERIFY(!server.hasOpenConnection());
    }

    void closeByTheProgramGivesNoPage()
    {
        ScriptedHttpServer server;
        ScriptedReply r;
        r.pieces = {{0, "HTTP/1.1 200 OK\r\n\r\nfirst"}, {300, "second"}};
        server.setReply(r);
        HostScheduler scheduler;
        FetchChannel channel(scheduler);
        QSignalSpy data(&channel, &FetchChannel::dataArrived);
        QSignalSpy done(&channel, &FetchChannel::finished);
        channel.fetch(requestFor(server.port(), QStringLiteral("127.0.0.1/")));
        QTRY_COMPARE(data.size(), 1);
        channel.cancel();
        QTest::qWait(500);
        QCOMPARE(done.size(), 0);
        // The channel serves the next fetch as new.
        const quint64 id = channel.fetch(requestFor(server.port(), QStringLiteral("127.0.0.1/again")));
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 3000);
        QCOMPARE(done.first().at(0).toULongLong(), id);
        QCOMPARE(done.first().at(1).value<PageResult>().pageText(), QStringLiteral("firstsecond"));
    }

    void downloadPrefixesOnlyWithoutAScheme()
    {
        TestEnv env;
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nshort"));
        QString url = QStringLiteral("127.0.0.1:%1/p.htm").arg(server.port());
        QCOMPARE(downloadWholePage(url), QStringLiteral("short"));
        QCOMPARE(url, QStringLiteral("http://127.0.0.1:%1/p.htm").arg(server.port()));
        const QByteArray request = server.requests().value(0);
        QVERIFY(request.startsWith("GET /p.htm HTTP/1.1\r\n"));
        QVERIFY(request.contains("User-Agent: Mozilla/5.0 (compatible; Reciplex/3.0)\r\n"));
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
