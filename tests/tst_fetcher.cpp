// The page fetcher, the fetch channel and the whole-page download against
// scripted loopback servers, byte for byte.
#include "net/ConnectionPool.h"
#include "net/CookieJar.h"
#include "net/FetchChannel.h"
#include "net/HostScheduler.h"
#include "net/HttpHeaders.h"
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
#include <QSslConfiguration>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <zlib.h>

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

    static QString tlsFile(const char *name)
    {
        return QStringLiteral(RECIPLEX_TEST_DATA "/tls/") + QLatin1String(name);
    }

    // Starts a Python helper of tests/support and reads the port it prints; 0 when it did not start.
    static quint16 startHelper(QProcess &process, QStringList arguments)
    {
        arguments.first().prepend(QStringLiteral(RECIPLEX_TEST_SUPPORT "/"));
        process.start(QStringLiteral("python3"), arguments);
        // The line may come in two pieces.
        while (!process.canReadLine() && process.waitForReadyRead(10000)) {
        }
        if (!process.canReadLine()) {
            qWarning("%s", process.readAllStandardError().constData());
            return 0;
        }
        return quint16(process.readLine().trimmed().toUInt());
    }

    // tests/support/tls_server.py in MODE, with the loopback certificate.
    static quint16 startTlsServer(QProcess &process, const char *mode)
    {
        return startHelper(process, {QStringLiteral("tls_server.py"), QLatin1String(mode), tlsFile("loopback.crt"),
                                     tlsFile("loopback.key")});
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
    // The test authority that signs the loopback certificates is trusted.
    void initTestCase()
    {
        QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
        QVERIFY(conf.addCaCertificates(tlsFile("ca.crt")));
        QSslConfiguration::setDefaultConfiguration(conf);
    }

    void requestBytesAreExact_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::addColumn<QString>("userAgent");
        QTest::addColumn<QByteArray>("agentLine");
        QTest::addColumn<bool>("ofOld"); // Connection: close, Accept: */* and nothing more
        QTest::newRow("default user agent: a browser's request")
            << false << QString() << QByteArray("User-Agent: Mozilla/5.0 (compatible; Reciplex/3.0)\r\n") << false;
        QTest::newRow("UserAgent empty: the request of old") << true << QString() << QByteArray() << true;
        QTest::newRow("a stored line break stays out") << true << QStringLiteral("Bot/1\r\nX-Other: 1")
                                                       << QByteArray("User-Agent: Bot/1X-Other: 1\r\n") << false;
        QTest::newRow("NUL and other control characters stay out")
            << true << QString::fromLatin1("Bot\0/1\x07\x7f\t", 9) << QByteArray("User-Agent: Bot/1\r\n") << false;
        QTest::newRow("only control characters: the request of old")
            << true << QStringLiteral("\r\n") << QByteArray() << true;
    }
    void requestBytesAreExact()
    {
        QFETCH(bool, stored);
        QFETCH(QString, userAgent);
        QFETCH(QByteArray, agentLine);
        QFETCH(bool, ofOld);
        TestEnv env;
        if (stored)
            SettingsStore::instance().write(Keys::UserAgent, userAgent);
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\nbody"));
        Fetch f(server.port(), QStringLiteral("http://127.0.0.1/dir/page.html"));
        QTRY_COMPARE(f.done.size(), 1);
        const QByteArray start = "GET /dir/page.html HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        QVERIFY(PageFetcher::acceptLanguage().endsWith(",en;q=0.5"));
        QCOMPARE(server.requests().value(0),
                 ofOld ? start + "Connection: close\r\nAccept: */*\r\n" + agentLine + "\r\n"
                       : start + "Connection: keep-alive\r\nAccept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\r\n"
                           + agentLine + "Accept-Language: " + PageFetcher::acceptLanguage()
                           + "\r\nAccept-Encoding: gzip, deflate\r\n\r\n");
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

        // A connection opened ahead that fails, before the page takes it or
        // after, leaves the page the answer it would have had.
        ConnectionPool pool;
        PageFetcher::warm(requestFor(server.port(), QStringLiteral("127.0.0.1/a.html"), true), pool, 1);
        QTRY_COMPARE(pool.warmingCount(), 0);
        PageFetcher::warm(requestFor(closed, QStringLiteral("127.0.0.1/"), true), pool, 1);
        for (const auto &[port, failure] : {std::pair{server.port(), PageResult::Failure::Secure},
                                            std::pair{closed, PageResult::Failure::Refused}}) {
            PageFetcher fetcher(requestFor(port, QStringLiteral("127.0.0.1/a.html"), true), &pool);
            QSignalSpy done(&fetcher, &PageFetcher::finished);
            fetcher.start();
            QTRY_COMPARE(done.size(), 1);
            QCOMPARE(fetcher.result().failure, failure);
        }
    }

    // A server that sends close_notify after its answer and waits for ours
    // before it closes TCP: the close_notify ends the page.
    void tlsCloseNotifyEndsThePage()
    {
        QProcess server;
        const quint16 port = startTlsServer(server, "close-notify");
        QVERIFY(port);
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
        TestEnv env;
        SettingsStore::instance().write(Keys::UserAgent, QString());
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody",
                                             ScriptedReply::Ending::KeepOpen));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_COMPARE(f.fetcher.received(), qint64(4));
        QTest::qWait(300);
        QCOMPARE(f.done.size(), 0); // the request of old: completion is only ever the server's close
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

    // Pages of one host share a kept connection; an answer that closes or
    // asks to close is not reused; a request on a kept connection the server
    // dropped unanswered goes once more on a new one, and only once.
    void keptConnectionsAreReusedOrSentAgainOnce_data()
    {
        auto answer = [](const QByteArray &head, const QByteArray &body, ScriptedReply::Ending ending) {
            return ScriptedReply::whole("HTTP/1.1 200 OK\r\n" + head + "Content-Length: "
                                        + QByteArray::number(body.size()) + "\r\n\r\n" + body, ending);
        };
        const auto kept = [&](const QByteArray &body) { return answer("", body, ScriptedReply::Ending::KeepOpen); };
        ScriptedReply dropped;
        dropped.ending = ScriptedReply::Ending::Close;
        QTest::addColumn<QList<ScriptedReply>>("replies"); // one per request, in turn
        QTest::addColumn<QStringList>("pages");            // "" : no reply
        QTest::addColumn<int>("connections");
        QTest::addColumn<int>("openedAhead"); // connections warmed before the first page
        QTest::newRow("three pages, one connection") << QList{kept("a"), kept("b"), kept("c")}
                                                     << QStringList{"a", "b", "c"} << 1 << 0;
        QTest::newRow("opened ahead: the pages take it") << QList{kept("a"), kept("b")}
                                                         << QStringList{"a", "b"} << 1 << 1;
        QTest::newRow("two opened ahead: no third") << QList{kept("a"), kept("b")} << QStringList{"a", "b"} << 2 << 2;
        QTest::newRow("a chunked answer keeps it too")
            << QList{ScriptedReply::whole("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n0\r\n\r\n",
                                          ScriptedReply::Ending::KeepOpen),
                     kept("b")}
            << QStringList{"a", "b"} << 1 << 0;
        QTest::newRow("Connection: close is not reused")
            << QList{answer("Connection: close\r\n", "a", ScriptedReply::Ending::KeepOpen), kept("b")}
            << QStringList{"a", "b"} << 2 << 0;
        QTest::newRow("HTTP/1.0 without keep-alive is not reused")
            << QList{ScriptedReply::whole("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\na", ScriptedReply::Ending::KeepOpen),
                     kept("b")}
            << QStringList{"a", "b"} << 2 << 0;
        QTest::newRow("a server that closes after two requests")
            << QList{kept("a"), answer("", "b", ScriptedReply::Ending::Close), kept("c")}
            << QStringList{"a", "b", "c"} << 2 << 0;
        QTest::newRow("dropped silently: sent again once") << QList{kept("a"), dropped, kept("b")}
                                                           << QStringList{"a", "b"} << 2 << 0;
        QTest::newRow("dropped twice: no third try") << QList{kept("a"), dropped, dropped} << QStringList{"a", ""} << 2 << 0;
    }
    void keptConnectionsAreReusedOrSentAgainOnce()
    {
        QFETCH(QList<ScriptedReply>, replies);
        QFETCH(QStringList, pages);
        QFETCH(int, connections);
        QFETCH(int, openedAhead);
        TestEnv env;
        ScriptedHttpServer server;
        server.answerEveryRequest();
        for (const ScriptedReply &r : replies)
            server.addReply(r);
        ConnectionPool pool;
        PageFetcher::warm(requestFor(server.port(), QStringLiteral("127.0.0.1/")), pool, openedAhead);
        QTRY_COMPARE(server.connectionCount(), openedAhead);
        for (const QString &page : pages) {
            PageFetcher fetcher(requestFor(server.port(), QStringLiteral("127.0.0.1/") + page), &pool);
            QSignalSpy connected(&fetcher, &PageFetcher::connected);
            QSignalSpy done(&fetcher, &PageFetcher::finished);
            fetcher.start();
            QTRY_COMPARE(done.size(), 1);
            QCOMPARE(fetcher.result().failure, page.isEmpty() ? PageResult::Failure::NoReply : PageResult::Failure::None);
            QCOMPARE(fetcher.result().body, page.toLatin1());
            QCOMPARE(connected.size(), 1); // a page sent again is still one page
        }
        QCOMPARE(server.connectionCount(), connections);
    }

    // A new connection to an https host the scan has been to resumes the TLS
    // session of the last one, saving the full handshake: the server closes
    // after each answer, so the second page needs a connection of its own.
    void secondConnectionResumesTheTlsSession()
    {
        TestEnv env;
        QProcess server;
        const quint16 port = startTlsServer(server, "session");
        QVERIFY(port);
        ConnectionPool pool;
        QList<QByteArray> reused;
        for (int i = 0; i < 2; ++i) {
            PageFetcher fetcher(requestFor(port, QStringLiteral("127.0.0.1/"), true), &pool);
            QSignalSpy done(&fetcher, &PageFetcher::finished);
            fetcher.start();
            QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 5000);
            QCOMPARE(fetcher.result().body, QByteArray("page"));
            reused << HttpHeaders::value(fetcher.result().head, "X-Session-Reused");
        }
        QCOMPARE(pool.connectionsOpened(), 2);
        QCOMPARE(reused, (QList<QByteArray>{"no", "yes"}));
        server.kill();
        server.waitForFinished();
    }

    // Compressed pages are undone; the cap is on the decoded text, and a body
    // that inflates past a hundred-fold is cut like an over-long page.
    void compressedPagesAreDecodedWithinBounds_data()
    {
        auto gzip = [](const QByteArray &text, int windowBits) {
            z_stream z{};
            deflateInit2(&z, 9, Z_DEFLATED, windowBits, 9, Z_DEFAULT_STRATEGY);
            QByteArray out(int(deflateBound(&z, uLong(text.size()))), Qt::Uninitialized);
            z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.constData()));
            z.avail_in = uInt(text.size());
            z.next_out = reinterpret_cast<Bytef *>(out.data());
            z.avail_out = uInt(out.size());
            deflate(&z, Z_FINISH);
            out.resize(qsizetype(z.total_out));
            deflateEnd(&z);
            return out;
        };
        QByteArray page;
        for (int i = 0; page.size() <= PageFetcher::kPageCap; ++i)
            page += "<p>item " + QByteArray::number(i) + "</p>\n";
        const QByteArray bomb(64 * 1024 * 1024, ' ');
        QTest::addColumn<QByteArray>("coding");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("text");  // of the page's start
        QTest::addColumn<qint64>("size");      // -1: at most 2 MiB
        QTest::addColumn<bool>("capped");
        QTest::newRow("gzip") << QByteArray("gzip") << gzip("<a href=x>", 31) << QByteArray("<a href=x>") << 10LL << false;
        QTest::newRow("deflate with its wrapper") << QByteArray("deflate") << gzip("<a>", 15) << QByteArray("<a>") << 3LL << false;
        QTest::newRow("raw deflate") << QByteArray("Deflate") << gzip("<a>", -15) << QByteArray("<a>") << 3LL << false;
        QTest::newRow("truncated gzip: what came") << QByteArray("gzip") << gzip(page, 31).left(4096)
                                                  << QByteArray("<p>item 0</p>") << -1LL << false;
        QTest::newRow("a coding not asked for: as sent") << QByteArray("br") << QByteArray("\x0b\x01") << QByteArray("\x0b\x01") << 2LL << false;
        QTest::newRow("decoded text stops at the cap") << QByteArray("gzip") << gzip(page, 31) << QByteArray("<p>item 0</p>")
                                                       << PageFetcher::kPageCap << true;
        QTest::newRow("a bomb is cut") << QByteArray("gzip") << gzip(bomb, 31) << QByteArray("    ") << -1LL << true;
    }
    void compressedPagesAreDecodedWithinBounds()
    {
        QFETCH(QByteArray, coding);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, text);
        QFETCH(qint64, size);
        QFETCH(bool, capped);
        TestEnv env;
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nContent-Encoding: " + coding + "\r\nContent-Length: "
                                             + QByteArray::number(body.size()) + "\r\n\r\n" + body));
        Fetch f(server.port(), QStringLiteral("127.0.0.1/"));
        QTRY_VERIFY_WITH_TIMEOUT(f.done.size() == 1, 20000);
        const PageResult &r = f.fetcher.result();
        QVERIFY(r.body.startsWith(text));
        if (size >= 0)
            QCOMPARE(r.body.size(), size);
        else
            QVERIFY2(r.body.size() > 0 && r.body.size() <= 2 * 1024 * 1024, qPrintable(QString::number(r.body.size())));
        QCOMPARE(r.capped, capped);
    }

    // The scan's cookies go back where RFC 6265 sends them: domain, path,
    // expiry and Secure.
    void cookiesGoWhereTheySay_data()
    {
        QTest::addColumn<QByteArray>("setCookie"); // to shop.example.com/a/b (over TLS when Secure)
        QTest::addColumn<QString>("url");          // of the next request
        QTest::addColumn<QByteArray>("cookie");
        QTest::newRow("same host and path") << QByteArray("id=1") << "http://shop.example.com/a/c" << QByteArray("id=1");
        QTest::newRow("host-only: not to a subdomain") << QByteArray("id=1") << "http://x.shop.example.com/a/" << QByteArray();
        QTest::newRow("Domain: to subdomains") << QByteArray("id=1; Domain=.example.com; Path=/")
                                               << "http://www.example.com/" << QByteArray("id=1");
        QTest::newRow("Domain of another site is refused") << QByteArray("id=1; Domain=other.com") << "http://other.com/"
                                                           << QByteArray();
        QTest::newRow("default path: the directory") << QByteArray("id=1") << "http://shop.example.com/ab" << QByteArray();
        QTest::newRow("Secure, set over TLS: not to plain http")
            << QByteArray("id=1; Secure; Path=/") << "http://shop.example.com/a/" << QByteArray();
        QTest::newRow("Secure, set over TLS: over TLS")
            << QByteArray("id=1; Secure; Path=/") << "https://shop.example.com/" << QByteArray("id=1");
        QTest::newRow("expired: gone") << QByteArray("id=1; Max-Age=0") << "http://shop.example.com/a/" << QByteArray();
        QTest::newRow("Expires in the past: gone") << QByteArray("id=1; Expires=Thu, 01 Jan 1970 00:00:00 GMT")
                                                   << "http://shop.example.com/a/" << QByteArray();
    }
    void cookiesGoWhereTheySay()
    {
        QFETCH(QByteArray, setCookie);
        QFETCH(QString, url);
        QFETCH(QByteArray, cookie);
        CookieJar jar;
        jar.take("HTTP/1.1 302 Found\r\nSet-Cookie: " + setCookie + "\r\nLocation: /a/b\r\n\r\n",
                 QStringLiteral("shop.example.com"), QStringLiteral("/a/b"), setCookie.contains("Secure"));
        const QUrl next(url);
        QCOMPARE(jar.header(next.host(), next.path(), next.scheme() == QLatin1String("https")), cookie);
    }

    // Every way of the Proxy setting: a made-up name is reached only through
    // the proxy (it takes every host to loopback), and pages as well as
    // downloads (posting, import) go that way; a proxy that fails says so.
    // An https page goes through an HTTP proxy's tunnel, whose CONNECT names
    // the scan's user agent, as a browser's does; the request of old names none.
    void pagesGoTheWayOfTheProxySetting_data()
    {
        QTest::addColumn<QString>("kind");    // of the proxy started: http, socks5, "" none
        QTest::addColumn<bool>("deny");
        QTest::addColumn<QString>("setting"); // %1: the proxy's port
        QTest::addColumn<QString>("host");    // "https://": a TLS page
        QTest::addColumn<bool>("noAgent");    // UserAgent empty
        QTest::addColumn<QString>("proxied"); // what the proxy took for the page; %1: the page's port
        QTest::addColumn<QString>("failure"); // "" : the page came
        const QString agent = QStringLiteral("\tUser-Agent: Mozilla/5.0 (compatible; Reciplex/3.0)");
        QTest::newRow("HTTP proxy") << "http" << false << "http://127.0.0.1:%1" << "partner.example" << false
                                    << "GET http://partner.example:%1/ HTTP/1.1" + agent << "";
        QTest::newRow("HTTP proxy, https page: CONNECT names the user agent")
            << "http" << false << "http://127.0.0.1:%1" << "https://127.0.0.1" << false
            << "CONNECT 127.0.0.1:%1 HTTP/1.1" + agent << "";
        QTest::newRow("HTTP proxy, https page, UserAgent empty: CONNECT names none")
            << "http" << false << "http://127.0.0.1:%1" << "https://127.0.0.1" << true << "CONNECT 127.0.0.1:%1 HTTP/1.1"
            << "";
        QTest::newRow("SOCKS5 proxy") << "socks5" << false << "socks5://127.0.0.1:%1" << "partner.example" << false
                                      << "SOCKS partner.example:%1" << "";
        QTest::newRow("SOCKS5 proxy refusing")
            << "socks5" << true << "socks5://u:p@127.0.0.1:%1" << "partner.example" << false << "SOCKS partner.example:%1"
            << "Proxy failed: the SOCKS proxy does not allow the connection";
        QTest::newRow("no proxy listening") << "" << false << "socks5://127.0.0.1:1" << "partner.example" << false << ""
                                            << "Proxy failed: the proxy refused the connection";
        QTest::newRow("not a proxy URL") << "" << false << "ftp://127.0.0.1" << "partner.example" << false << ""
                                         << "Proxy failed: the Proxy setting \"ftp://127.0.0.1\" is not a proxy URL";
        QTest::newRow("none: straight to the host") << "" << false << "none" << "127.0.0.1" << false << "" << "";
    }
    void pagesGoTheWayOfTheProxySetting()
    {
        QFETCH(QString, kind);
        QFETCH(bool, deny);
        QFETCH(QString, setting);
        QFETCH(QString, host);
        QFETCH(bool, noAgent);
        QFETCH(QString, proxied);
        QFETCH(QString, failure);
        TestEnv env;
        if (noAgent)
            SettingsStore::instance().write(Keys::UserAgent, QString());
        QProcess proxy;
        quint16 proxyPort = 0;
        if (!kind.isEmpty()) {
            proxyPort = startHelper(proxy, {QStringLiteral("proxy_server.py"), kind,
                                            deny ? QStringLiteral("--deny") : QString()});
            QVERIFY(proxyPort);
        }
        SettingsStore::instance().write(Keys::Proxy, setting.arg(proxyPort));
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\npage"));
        quint16 port = server.port();
        const bool secure = host.startsWith(QLatin1String("https://"));
        QProcess tlsServer;
        if (secure) {
            port = startTlsServer(tlsServer, "session");
            QVERIFY(port);
        }
        Fetch f(port, host + QStringLiteral("/"), secure);
        QTRY_COMPARE_WITH_TIMEOUT(f.done.size(), 1, 5000);
        QCOMPARE(f.fetcher.result().failureText, failure);
        QCOMPARE(f.fetcher.result().body, failure.isEmpty() ? QByteArray("page") : QByteArray());
        if (!proxied.isEmpty()) {
            QTRY_VERIFY(proxy.canReadLine());
            QCOMPARE(QString::fromLatin1(proxy.readLine().chopped(1)), proxied.arg(port));
        }
        QString url = QStringLiteral("%1:%2/").arg(secure ? host : QStringLiteral("http://") + host).arg(port);
        QCOMPARE(downloadWholePage(url, 3000), failure.isEmpty() ? QStringLiteral("page") : QString());
        for (QProcess *helper : {&proxy, &tlsServer}) {
            helper->kill();
            helper->waitForFinished();
        }
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
