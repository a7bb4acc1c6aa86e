#include "net/PageFetcher.h"
#include "net/WholePageDownload.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/NginxRunner.h"
#include "support/RecordingHttpServer.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QSignalSpy>
#include <QtTest>

class TestWholePage : public QObject
{
    Q_OBJECT
private slots:
    void requestAndBody()
    {
        TestEnv env;
        RecordingHttpServer server;
        QVERIFY(server.listen());
        const QByteArray body("caf\xe9 \x01\r\nline two");
        server.setBody(body);

        // No scheme: "http://" goes in front, in the caller's variable too.
        QString url = QStringLiteral("127.0.0.1:%1/list.php?a=b%2Fc+d").arg(server.port());
        QCOMPARE(downloadWholePage(url), QString::fromLatin1(body));
        QCOMPARE(url, QStringLiteral("http://127.0.0.1:%1/list.php?a=b%2Fc+d").arg(server.port()));
        QCOMPARE(server.requests().size(), 1);
        const RecordingHttpServer::Request &req = server.requests().first();
        QCOMPARE(req.requestLine, QByteArray("GET /list.php?a=b%2Fc+d HTTP/1.1"));
        QCOMPARE(req.header("User-Agent"), QByteArray("Mozilla/5.0 (compatible; Reciplex/3.0)"));
        QCOMPARE(req.header("Cache-Control"), QByteArray("no-cache"));
        QCOMPARE(req.header("Pragma"), QByteArray("no-cache"));

        // "http://" anywhere, any case: no prefix.
        QString inside = QStringLiteral("HTTP://127.0.0.1:%1/go?u=http://x").arg(server.port());
        const QString before = inside;
        downloadWholePage(inside);
        QCOMPARE(inside, before);
        QCOMPARE(server.requests().last().target, QByteArray("/go?u=http://x"));

        // The scan's UserAgent setting; an empty one gives "Mozilla" as of old.
        SettingsStore::instance().write(Keys::UserAgent, QString());
        downloadWholePage(inside);
        QCOMPARE(server.requests().last().header("User-Agent"), QByteArray("Mozilla"));
        SettingsStore::instance().write(Keys::UserAgent, QStringLiteral("Checker/2"));
        downloadWholePage(inside);
        QCOMPARE(server.requests().last().header("User-Agent"), QByteArray("Checker/2"));
    }

    void redirectsErrorPagesAndFailures()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setResponder([](const RecordingHttpServer::Request &req) {
            if (req.target == "/old")
                return RecordingHttpServer::redirectTo("/new");
            RecordingHttpServer::Response r;
            if (req.target == "/missing") {
                r.status = 404;
                r.reason = "Not Found";
                r.body = "no such page";
            } else if (req.target == "/new") {
                r.body = "moved here";
            }
            return r;
        });
        QString url = server.baseUrl() + "/old";
        QCOMPARE(downloadWholePage(url), QStringLiteral("moved here"));
        QCOMPARE(server.targets(), (QList<QByteArray>{"/old", "/new"}));
        url = server.baseUrl() + "/missing";
        QCOMPARE(downloadWholePage(url), QStringLiteral("no such page"));
        url = server.baseUrl() + "/empty";
        QCOMPARE(downloadWholePage(url), QString());

        // Nothing listens: "" without a message.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        url = QStringLiteral("http://127.0.0.1:%1/").arg(port);
        QCOMPARE(downloadWholePage(url), QString());
        url = QStringLiteral("http://");
        QCOMPARE(downloadWholePage(url), QString());
    }

    // A server that stops sending is left after the idle time with what it sent.
    void silentServerGivesUp()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setResponder([](const RecordingHttpServer::Request &) {
            RecordingHttpServer::Response r;
            r.rawThenSilence = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial";
            return r;
        });
        QString url = server.baseUrl() + "/slow";
        QElapsedTimer t;
        t.start();
        QCOMPARE(downloadWholePage(url, 400), QStringLiteral("partial"));
        QVERIFY(t.elapsed() < 5000);
    }

    // A certificate that fails verification gives "" as any failure does,
    // unless the user chose to accept such certificates.
    // IgnoreCertificateErrors is the scan's choice for its partners' pages:
    // posting and import (the blocking download) always verify, while the
    // scan's own downloads accept when asked.
    void badCertificateOnlyForTheScanThatAsked()
    {
        TestEnv env;
        NginxRunner::Options tls;
        tls.tlsCertificate = QStringLiteral(RECIPLEX_TEST_DATA "/tls/otherhost.crt");
        tls.tlsKey = QStringLiteral(RECIPLEX_TEST_DATA "/tls/otherhost.key");
        NginxRunner nginx(QStringLiteral(RECIPLEX_TEST_DATA "/site"), tls);
        QVERIFY2(nginx.isRunning(), qPrintable(nginx.failure()));
        const QString page = QStringLiteral("https://127.0.0.1:%1/direct/page2.html").arg(nginx.tlsPort());
        QString url = page;
        QCOMPARE(downloadWholePage(url), QString());
        SettingsStore::instance().write(Keys::IgnoreCertificateErrors, QStringLiteral("1"));
        url = page;
        QCOMPARE(downloadWholePage(url), QString());

        WholePageDownload scan;
        scan.setAcceptAnyCertificate(true);
        QSignalSpy done(&scan, &WholePageDownload::finished);
        scan.start(page);
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
        QVERIFY(done.first().at(0).toString().contains(QLatin1String("Page two.")));
    }

    // A body that never ends stops at the scan's page cap; one that drips a
    // byte before every idle limit stops after ten idle limits. What arrived
    // until then comes back.
    void endlessAndDrippingBodiesAreCut_data()
    {
        QTest::addColumn<bool>("endless");
        QTest::addColumn<int>("idleMs");
        QTest::addColumn<qint64>("minMs");
        QTest::addColumn<qint64>("maxMs");
        QTest::newRow("endless body") << true << 60000 << qint64(0) << qint64(8000);
        QTest::newRow("a byte every 100 ms, idle limit 600 ms") << false << 600 << qint64(4500) << qint64(8500);
    }
    void endlessAndDrippingBodiesAreCut()
    {
        QFETCH(bool, endless);
        QFETCH(int, idleMs);
        QFETCH(qint64, minMs);
        QFETCH(qint64, maxMs);
        const QByteArray head = "HTTP/1.1 200 OK\r\n\r\n";
        QPointer<ScriptedHttpServer> server = new ScriptedHttpServer;
        ScriptedReply reply = ScriptedReply::whole(head, ScriptedReply::Ending::Endless);
        if (!endless) {
            reply = ScriptedReply::drip(QByteArray(100, 'd'), 100);
            reply.pieces.prepend({0, head});
        }
        server->setReply(reply);
        // Should the download not end by itself, the server goes away, so a
        // failing run ends too (with more than it should have read).
        QTimer::singleShot(maxMs + 5000, server.data(), &QObject::deleteLater);
        QString url = QStringLiteral("127.0.0.1:%1/").arg(server->port());
        QElapsedTimer clock;
        clock.start();
        const QString body = downloadWholePage(url, idleMs);
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= minMs && took < maxMs, qPrintable(QString::number(took)));
        if (endless) {
            QCOMPARE(body.size(), PageFetcher::kPageCap);
            QVERIFY(body.count(QLatin1Char('x')) == body.size());
        } else {
            QVERIFY2(body.size() > 10 && body.size() < 90, qPrintable(QString::number(body.size())));
        }
        delete server;
    }
};

QTEST_GUILESS_MAIN(TestWholePage)
#include "tst_wholepage.moc"
