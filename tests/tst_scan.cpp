// Whole scans against nginx serving the fixture site, and the cases that need
// a scripted server (silence, an error page before a time-out).
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "scan/RobotsCache.h"
#include "support/ScanRig.h"
#include "support/ScriptedHttpServer.h"
#include "support/ScriptedScanRig.h"
#include "support/SiteScanRig.h"

#include <QSslConfiguration>
#include <QTcpServer>
#include <QThread>

#include <QtTest>

Q_DECLARE_METATYPE(ScriptedReply)
Q_DECLARE_METATYPE(QList<ScriptedReply>)

static void set(const QString &key, const QString &value)
{
    SettingsStore::instance().write(key, value);
}

static QString tlsFile(const QString &name)
{
    return QStringLiteral(RECIPLEX_TEST_DATA "/tls/") + name;
}

// A port on which nothing listens.
// The pages a site's server was asked for, in order. Beside other sites the
// scan may ask for the next queued page ahead and drop it when the site ends
// first: at most one request more, which counts nowhere.
static QString requestedPathsDiffer(const QStringList &requested, const QStringList &expected)
{
    if (SettingsStore::instance().readInt(Keys::SitesAtOnce, kDefaultSitesAtOnce, 1, kMaxSitesAtOnce) == 1)
        return requested == expected ? QString() : requested.join(QLatin1Char(' '));
    qsizetype next = 0;
    for (const QString &path : requested) {
        if (next < expected.size() && path == expected.at(next))
            ++next;
    }
    const bool fits = next == expected.size() && requested.size() <= expected.size() + 1;
    return fits ? QString() : requested.join(QLatin1Char(' '));
}

static quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class TestScan : public QObject
{
    Q_OBJECT
private slots:
    // The test authority that signs the loopback certificates is trusted.
    void initTestCase()
    {
        QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
        QVERIFY(conf.addCaCertificates(tlsFile(QStringLiteral("ca.crt"))));
        QSslConfiguration::setDefaultConfiguration(conf);
    }

    void directLinkAfterBreadthFirstPages()
    {
        ScanRig rig;
        QVERIFY2(rig.nginx.isRunning(), qPrintable(rig.nginx.failure()));
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/direct/"));
        QVERIFY(rig.run());

        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/direct/Page3.html"});
        QCOMPARE(rig.project.results().first().icon, 2);
        // Breadth-first; "page3.html" on page two is the page already queued.
        QCOMPARE(requestedPathsDiffer(rig.nginx.requestedPaths(),
                                      {"/direct/", "/direct/page2.html", "/direct/Page3.html"}),
                 QString());
        // The Linking Site now names the page the link is on, and shows blue.
        QCOMPARE(rig.project.linkingSites(m).first().url, QStringLiteral("127.0.0.1/direct/Page3.html"));
        QCOMPARE(rig.project.linkingSites(m).first().colour, RowColour::Blue);
        QCOMPARE(rig.frontEnd.finished.size(), 1);
        QCOMPARE(rig.frontEnd.finished.first().outcome, QStringLiteral("Direct Link"));
        QCOMPARE(rig.frontEnd.finished.first().host, QStringLiteral("127.0.0.1"));

        const ScanStatistics &s = rig.engine.statistics();
        QCOMPARE(s.pagesScanned, 3);
        QCOMPARE(s.pagesFound, 3); // page2, Page3, index.html
        QCOMPARE(s.linksFound, 1);
        QCOMPARE(s.linkingSites, 1);
        QCOMPARE(SettingsStore::instance().read(Keys::lHistWebScanned, QString()), QStringLiteral("3"));
        QCOMPARE(SettingsStore::instance().read(Keys::lHistEmailFound, QString()), QStringLiteral("1"));

        QVERIFY(rig.frontEnd.statusLog.contains(QStringLiteral("3:Searching 127.0.0.1/direct/")));
        QVERIFY(rig.frontEnd.statusLog.contains(QStringLiteral("1:Main Site 1 of 1")));
        QVERIFY(rig.frontEnd.statusLog.contains(QStringLiteral("3:Found 1 links")));
        QCOMPARE(rig.frontEnd.panels[0], QStringLiteral("Stopped"));

        // The cache files hold the last page: anchors on lines of their own,
        // and the same text without line breaks.
        const QByteArray cache = rig.env.readFile(QStringLiteral("html0.txt"));
        QVERIFY(cache.contains("\r\nhref=\"http://www.mysite.com/links.htm\""));
        QVERIFY(cache.endsWith("\r\n"));
        const QByteArray stripped = rig.env.readFile(QStringLiteral("html20.txt"));
        QCOMPARE(stripped.count('\n'), 1);
        QVERIFY(stripped.endsWith("</html>\r\n"));
    }

    void domainLinkKeepsTheLinkingSiteUrl()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/domain/"));
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), QStringList{"Domain Link|001|127.0.0.1|127.0.0.1/domain"});
        QCOMPARE(rig.project.linkingSites(m).first().url, QStringLiteral("127.0.0.1/domain/"));
    }

    void redirectPageIsFollowed()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/redirect/"));
        QVERIFY(rig.run());
        // The target is analysed in the place of the redirect page.
        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/redirect"});
        QVERIFY(rig.nginx.requestedPaths().contains(QStringLiteral("/redirect/target.html")));
    }

    void rulesKeepTheSpiderOutAndAreLogged()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        set(Keys::chkLog, QStringLiteral("1"));
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/rules/"));
        rig.project.appendRule({QString::fromLatin1(ScanRig::kMainSite), QStringLiteral("127.0.0.1/rules/"),
                                RuleType::ExcludeDirectory, QStringLiteral("private")});
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), QStringList{"None Found (Possible Rule Problem)|000|127.0.0.1|127.0.0.1"});
        QCOMPARE(rig.project.linkingSites(m).first().colour, RowColour::Red);
        QCOMPARE(rig.errors(), QStringList{});
        QVERIFY(!rig.nginx.requestedPaths().contains(QStringLiteral("/rules/private/secret.html")));
        QVERIFY(rig.nginx.requestedPaths().contains(QStringLiteral("/rules/public/page.html")));
        QCOMPARE(rig.env.readFile(QStringLiteral("rules.log")),
                 QByteArray("Excluded Site: 127.0.0.1/rules/private/secret.html\r\n"
                            "Rule Type: ExcludeDirectory\r\nRule Value: private\r\n\r\n\r\n"));
    }

    void aRejectedLinkToTheMainSiteStillCounts()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/direct/"));
        rig.project.appendRule({kGlobalScope, kGlobalScope, RuleType::ExcludeString, QStringLiteral("mysite")});
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/direct/Page3.html"});
        QVERIFY(!QFileInfo::exists(rig.env.path(QStringLiteral("rules.log")))); // logging is off by default
    }

    // Partner sites set up the way sites are today: behind https, a firewall
    // rule on the user agent, a cookie to come back with, a certificate that
    // is not right.
    void todaysPartnerSites_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<QString>("plainDirectives");
        QTest::addColumn<bool>("plainClosed");
        QTest::addColumn<QStringList>("settings"); // KEY=VALUE
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QStringList>("plainPaths");
        QTest::addColumn<QStringList>("tlsPaths");
        QTest::addColumn<int>("pagesScanned");
        QTest::addColumn<QString>("siteAfter");

        const QStringList direct = {"/direct/", "/direct/page2.html", "/direct/Page3.html"};
        const QString directRow = "Direct Link|001|127.0.0.1|127.0.0.1/direct/Page3.html";
        const QString https = "https://127.0.0.1/direct/";
        QTest::newRow("port 80 answers 301 to https on the same host")
            << "127.0.0.1/upgrade/" << "loopback" << "location /upgrade/ { return 301 https://$host$request_uri; }"
            << false << QStringList{} << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/upgrade/page2.html"}
            << QStringList{} << QStringList{"/upgrade/"} << QStringList{"/upgrade/", "/upgrade/page2.html"} << 2
            << "127.0.0.1/upgrade/page2.html";
        QTest::newRow("https typed, port 80 closed")
            << https << "loopback" << "" << true << QStringList{} << QStringList{directRow} << QStringList{}
            << QStringList{} << direct << 3 << "https://127.0.0.1/direct/Page3.html";
        const QString firewall = R"(if ($http_user_agent = "") { return 403; })";
        QTest::newRow("403 to a request without a user agent")
            << "127.0.0.1/direct/" << "" << firewall << false << QStringList{} << QStringList{directRow}
            << QStringList{} << direct << QStringList{} << 3 << "127.0.0.1/direct/Page3.html";
        QTest::newRow("the same with UserAgent empty: the request of old")
            << "127.0.0.1/direct/" << "" << firewall << false << QStringList{"UserAgent="}
            << QStringList{"None Found (403 Forbidden)|000|127.0.0.1|127.0.0.1"}
            << QStringList{"403 Forbidden|127.0.0.1/direct/"} << QStringList{"/direct/"} << QStringList{} << 2
            << "127.0.0.1/direct/";
        // A consent page or a light bot check: a cookie and a 302 to the same
        // URL, whose body links to it as most servers' stock answers do.
        const QString consent = R"(location /direct/ { if ($cookie_consent != "yes") {
            error_page 418 =302 /consent/found.html; return 418; } }
            location = /consent/found.html { internal; add_header Set-Cookie "consent=yes; Path=/";
            add_header Location http://$host:$server_port$request_uri; })";
        QTest::newRow("a cookie and the same URL again")
            << "127.0.0.1/direct/" << "" << consent << false << QStringList{} << QStringList{directRow} << QStringList{}
            << QStringList{"/direct/", "/direct/", "/direct/page2.html", "/direct/Page3.html"} << QStringList{} << 3
            << "127.0.0.1/direct/Page3.html";
        QTest::newRow("the same with UserAgent empty: the request of old, without cookies")
            << "127.0.0.1/direct/" << "" << consent << false << QStringList{"UserAgent="}
            << QStringList{"None Found (Redirect loop)|000|127.0.0.1|127.0.0.1"}
            << QStringList{"Redirect loop|127.0.0.1"} << QStringList{"/direct/", "/direct/"} << QStringList{} << 1
            << "127.0.0.1/direct/";
        const QString otherHost = "Certificate error: the certificate is for another host";
        QTest::newRow("certificate for another name")
            << https << "otherhost" << "" << true << QStringList{}
            << QStringList{"None Found (" + otherHost + ")|000|127.0.0.1|127.0.0.1"}
            << QStringList{otherHost + "|127.0.0.1/direct/"} << QStringList{} << QStringList{} << 2 << https;
        QTest::newRow("certificate for another name, IgnoreCertificateErrors 1")
            << https << "otherhost" << "" << true << QStringList{"IgnoreCertificateErrors=1"}
            << QStringList{directRow} << QStringList{} << QStringList{} << direct << 3
            << "https://127.0.0.1/direct/Page3.html";
        const QString selfSigned = "Certificate error: the certificate is self-signed, not issued by a trusted authority";
        QTest::newRow("self-signed certificate")
            << https << "selfsigned" << "" << true << QStringList{}
            << QStringList{"None Found (" + selfSigned + ")|000|127.0.0.1|127.0.0.1"}
            << QStringList{selfSigned + "|127.0.0.1/direct/"} << QStringList{} << QStringList{} << 2 << https;
    }
    void todaysPartnerSites()
    {
        QFETCH(QString, site);
        QFETCH(QString, certificate);
        QFETCH(QString, plainDirectives);
        QFETCH(bool, plainClosed);
        QFETCH(QStringList, settings);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, errors);
        QFETCH(QStringList, plainPaths);
        QFETCH(QStringList, tlsPaths);
        QFETCH(int, pagesScanned);
        QFETCH(QString, siteAfter);
        NginxRunner::Options options;
        if (!certificate.isEmpty()) {
            options.tlsCertificate = tlsFile(certificate + ".crt");
            options.tlsKey = tlsFile(certificate + ".key");
        }
        options.plainDirectives = plainDirectives;
        ScanRig rig(options);
        QVERIFY2(rig.nginx.isRunning(), qPrintable(rig.nginx.failure()));
        for (const QString &kv : settings)
            set(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
        if (plainClosed)
            rig.engine.setPort(closedPort());
        const int m = rig.addMain();
        rig.addSite(m, site);
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), rows);
        QCOMPARE(rig.errors(), errors);
        QCOMPARE(requestedPathsDiffer(rig.nginx.requestedPaths(), plainPaths), QString());
        QCOMPARE(requestedPathsDiffer(rig.nginx.requestedTlsPaths(), tlsPaths), QString());
        QCOMPARE(rig.engine.statistics().pagesScanned, pagesScanned);
        QCOMPARE(rig.project.linkingSites(m).first().url, siteAfter);
        if (settings.isEmpty()) {
            for (const QString &agent : rig.nginx.requestedUserAgents())
                QCOMPARE(agent, kDefaultUserAgent);
        }
    }

    // A partner typed twice, once with https: however the sites are run,
    // the scan ends and the plain one is fetched over TLS once.
    void partnerTypedWithHttpsAndWithout()
    {
        NginxRunner::Options options;
        options.tlsCertificate = tlsFile(QStringLiteral("loopback.crt"));
        options.tlsKey = tlsFile(QStringLiteral("loopback.key"));
        ScanRig rig(options);
        QVERIFY2(rig.nginx.isRunning(), qPrintable(rig.nginx.failure()));
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("https://127.0.0.1/direct/"));
        rig.addSite(m, QStringLiteral("127.0.0.1/domain/"));
        QVERIFY(rig.run(20000));
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/direct/Page3.html",
                                          "Domain Link|001|127.0.0.1|127.0.0.1/domain"}));
        QCOMPARE(rig.nginx.requestedPaths(), QStringList{});
        QCOMPARE(rig.nginx.requestedTlsPaths().count(QStringLiteral("/domain/")), 1);
    }

    // A plain page that moves to https on its "www." twin makes that twin
    // secure, not the host asked: the next site of the host stays plain.
    void redirectToTheWwwTwinMarksOnlyTheTwin()
    {
        ScriptedScanRig rig(1);
        rig.server.addReply(ScriptedReply::whole("HTTP/1.1 301 Moved Permanently\r\nLocation: https://www.127.0.0.1/a/\r\n\r\n"));
        rig.server.addReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\n<a href=\"http://www.mysite.com/links.htm\">me</a>"));
        rig.engine.setTlsPort(closedPort()); // a page wrongly sent to TLS fails at once
        rig.addSite(QStringLiteral("127.0.0.1/a/"));
        rig.addSite(QStringLiteral("127.0.0.1/b/"));
        QVERIFY(rig.run(10000));
        QCOMPARE(rig.rows(), (QStringList{"None Found (Host not found)|000|127.0.0.1|127.0.0.1",
                                          "Direct Link|001|127.0.0.1|127.0.0.1/b"}));
        QCOMPARE(rig.requestedPaths(), (QStringList{"/a/", "/b/"}));
    }

    // A secure port that refuses and a name without an ASCII form are said
    // at once, not after the time-out.
    void unreachableSaidAtOnce_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("error");
        const QString refused = "Connection refused";
        QTest::newRow("the secure port refuses") << "https://127.0.0.1/" << "None Found (" + refused + ")|000|127.0.0.1|127.0.0.1"
                                                 << refused + "|127.0.0.1";
        const QString name = QString::fromUtf8("b\u00fccher\u2024\u0301.example");
        QTest::newRow("a name without an ASCII form") << name + "/" << "None Found (Host not found)|000|" + name + "|" + name
                                                      << "Host not found|" + name;
    }
    void unreachableSaidAtOnce()
    {
        QFETCH(QString, site);
        QFETCH(QString, row);
        QFETCH(QString, error);
        ScriptedScanRig rig(30);
        rig.engine.setTlsPort(closedPort());
        rig.addSite(site);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(40000));
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(rig.rows(), QStringList{row});
        QCOMPARE(rig.errors(), QStringList{error});
        QCOMPARE(rig.frontEnd.conclusions.size(), 1);
        QVERIFY(!rig.frontEnd.conclusions.first().checked);
    }

    // A start page that was not seen says why, at once; one that asks to
    // wait is asked again; one that was not read is tried once more.
    void pagesNotSeenSayWhy_data()
    {
        QTest::addColumn<QList<ScriptedReply>>("replies");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("retryDelay");
        QTest::addColumn<int>("timeOut");
        QTest::addColumn<QString>("row");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("atMostMs");
        QTest::addColumn<bool>("checked");
        const QByteArray link = "HTTP/1.1 200 OK\r\n\r\n<a href=\"http://www.mysite.com/links.htm\">me</a>";
        const QString linked = "Direct Link|001|127.0.0.1|127.0.0.1";
        const auto none = [](const QString &reason) { return "None Found (" + reason + ")|000|127.0.0.1|127.0.0.1"; };
        const auto reply = [](const QByteArray &bytes) { return ScriptedReply::whole(bytes); };
        ScriptedReply noReply;
        const ScriptedReply slowDown = reply("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1\r\n\r\nslow down");
        QTest::newRow("refused") << QList<ScriptedReply>{} << true << 0 << 30 << none("Connection refused")
                                 << QStringList{"Connection refused|127.0.0.1"} << 0 << 5000 << false;
        QTest::newRow("closed without a reply") << QList<ScriptedReply>{noReply} << false << 0 << 30 << none("No reply")
                                                << QStringList{"No reply|127.0.0.1"} << 1 << 5000 << false;
        QTest::newRow("429, asked again after a second, then the page")
            << QList<ScriptedReply>{slowDown, slowDown, reply(link)} << false << 0 << 30 << linked << QStringList{} << 3
            << 6000 << true;
        QTest::newRow("429 every time") << QList<ScriptedReply>{slowDown} << false << 0 << 30 << none("Rate limited")
                                        << QStringList{"Rate limited|127.0.0.1"} << 4 << 9000 << false;
        QTest::newRow("429 asking for more than a minute")
            << QList<ScriptedReply>{reply("HTTP/1.1 429 Too Many Requests\r\nRetry-After: 3600\r\n\r\n")} << false << 0 << 30
            << none("Rate limited") << QStringList{"Rate limited|127.0.0.1"} << 1 << 3000 << false;
        QTest::newRow("429 without Retry-After: a second")
            << QList<ScriptedReply>{reply("HTTP/1.1 429 Too Many Requests\r\n\r\n"), reply(link)} << false << 0 << 30 << linked
            << QStringList{} << 2 << 4000 << true;
        const QByteArray soon = QLocale::c()
                                    .toString(QDateTime::currentDateTimeUtc().addSecs(2), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss"))
                                    .toLatin1()
                              + " GMT";
        QTest::newRow("503 with a Retry-After date, then the page")
            << QList<ScriptedReply>{reply("HTTP/1.1 503 Service Unavailable\r\nRetry-After: " + soon + "\r\n\r\n"), reply(link)}
            << false << 0 << 30 << linked << QStringList{} << 2 << 6000 << true;
        QTest::newRow("a challenge page")
            << QList<ScriptedReply>{reply("HTTP/1.1 403 Forbidden\r\ncf-mitigated: challenge\r\nServer: cloudflare\r\n\r\n"
                                          "<html><head><title>Just a moment...</title></head><a href=\"http://www.mysite.com/\">x</a>")}
            << false << 0 << 30 << none("Blocked by bot protection") << QStringList{"Blocked by bot protection|127.0.0.1"}
            << 1 << 3000 << false;
        QTest::newRow("a firewall's block page")
            << QList<ScriptedReply>{reply("HTTP/1.1 403 Forbidden\r\n\r\n<title>Sucuri WebSite Firewall - Access Denied</title>")}
            << false << 0 << 30 << none("Blocked by bot protection") << QStringList{"Blocked by bot protection|127.0.0.1"}
            << 1 << 3000 << false;
        QTest::newRow("a server error, the start page tried again")
            << QList<ScriptedReply>{reply("HTTP/1.1 500 Internal Server Error\r\n\r\noops"), reply(link)} << false << 1 << 30
            << linked << QStringList{} << 2 << 5000 << true;
        QTest::newRow("silence twice: one errors row")
            << QList<ScriptedReply>{ScriptedReply::silent()} << false << 1 << 1 << none("Timeout")
            << QStringList{"Timeout|127.0.0.1"} << 2 << 8000 << false;
        ScriptedReply moved = reply("HTTP/1.1 200 OK\r\n\r\n<title>Document Moved</title><a href=\"http://127.0.0.1:PORT/round\">here</a>");
        QTest::newRow("a redirect page whose target goes round")
            << QList<ScriptedReply>{moved, reply("HTTP/1.1 302 Found\r\nLocation: /round\r\n\r\n")} << false << 0 << 30
            << none("Redirect loop") << QStringList{"Redirect loop|127.0.0.1"} << 2 << 5000 << false;
    }
    void pagesNotSeenSayWhy()
    {
        QFETCH(QList<ScriptedReply>, replies);
        QFETCH(bool, closed);
        QFETCH(int, retryDelay);
        QFETCH(int, timeOut);
        QFETCH(QString, row);
        QFETCH(QStringList, errors);
        QFETCH(int, requests);
        QFETCH(int, atMostMs);
        QFETCH(bool, checked);
        ScriptedScanRig rig(timeOut);
        set(Keys::RetryDelay, QString::number(retryDelay));
        for (ScriptedReply r : replies) {
            for (ScriptedReply::Piece &piece : r.pieces)
                piece.bytes.replace("PORT", QByteArray::number(rig.server.port()));
            rig.server.addReply(r);
        }
        if (closed)
            rig.engine.setPort(closedPort());
        rig.addSite(QStringLiteral("127.0.0.1/"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(40000));
        QVERIFY2(clock.elapsed() < atMostMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(rig.rows(), QStringList{row});
        QCOMPARE(rig.errors(), errors);
        QCOMPARE(rig.server.requests().size(), requests);
        QCOMPARE(rig.frontEnd.conclusions.size(), 1);
        QCOMPARE(rig.frontEnd.conclusions.first().checked, checked);
    }

    // Every scan reads robots.txt again: a file changed between two scans in
    // one window is not answered from the first scan's reading.
    void robotsReadAgainByTheNextScan()
    {
        ScriptedScanRig rig(5);
        set(Keys::chkLinkNotes, QStringLiteral("1"));
        const QByteArray page = "HTTP/1.1 200 OK\r\n\r\n<a href=\"http://www.mysite.com/links.htm\">me</a>";
        rig.server.addReply(ScriptedReply::whole(page));
        rig.server.addReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\nUser-agent: *\nDisallow: /\n"));
        rig.server.addReply(ScriptedReply::whole(page));
        rig.server.addReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\nUser-agent: *\nDisallow:\n"));
        rig.addSite(QStringLiteral("127.0.0.1/"));
        QVERIFY(rig.run(10000));
        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1|blocked by robots.txt"});
        QVERIFY(rig.run(10000));
        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1"});
        QCOMPARE(rig.requestedPaths(), (QStringList{"/", "/robots.txt", "/", "/robots.txt"}));
    }

    // PHP and most CMSs send chunked pages; a chunk boundary may cut "href="
    // or the link's URL.
    void chunkedPages()
    {
        ScanRig rig;
        ScriptedHttpServer server;
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nTransfer-Encoding: chunked\r\n\r\n";
        auto chunked = [](const QList<QByteArray> &chunks) {
            QByteArray body;
            for (const QByteArray &c : chunks)
                body += QByteArray::number(c.size(), 16) + "\r\n" + c + "\r\n";
            return body + "0\r\n\r\n";
        };
        // The first page also arrives in two pieces, cut inside its second chunk.
        const QByteArray first = head + chunked({"<p>Partners: <a hr", "ef=\"http://www.mysite.com/links.htm\">me</a>"});
        ScriptedReply hrefCut;
        hrefCut.pieces = {{0, first.left(first.size() - 20)}, {50, first.right(20)}};
        server.addReply(hrefCut);
        server.addReply(ScriptedReply::whole(head + chunked({"<a href=\"http://www.my", "site.com/links.htm\">me</a>"})));
        set(Keys::chkLinkNotes, QStringLiteral("0")); // the scripted replies are the pages' only
        rig.engine.setPort(server.port());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/one/"));
        rig.addSite(m, QStringLiteral("127.0.0.1/two/"));
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/one", "Direct Link|001|127.0.0.1|127.0.0.1/two"}));
        // The cache file holds the page as the server meant it.
        QVERIFY(rig.env.readFile(QStringLiteral("html0.txt")).startsWith("<a \r\nhref=\"http://www.mysite.com/links.htm\">me</a>\r\n"));
    }

    void pageTypeFilter()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        rig.env.writeFile(QStringLiteral("filetypes.txt"), ".html\n"); // a file saved on Linux
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/types/"));
        QVERIFY(rig.run());
        // ".html" does not occur in "old.htm"; a name without "." but with "?" passes.
        QCOMPARE(rig.nginx.requestedPaths(),
                 (QStringList{"/types/", "/types/search?q=links", "/types/next.html"}));
        QCOMPARE(rig.rows(), QStringList{"None Found|000|127.0.0.1|127.0.0.1"});
    }

    void pageTypeFilterOff()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        set(Keys::chkFileTypes, QStringLiteral("0"));
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/types/"));
        QVERIFY(rig.run());
        QCOMPARE(requestedPathsDiffer(rig.nginx.requestedPaths(),
                                      {"/types/", "/types/brochure.pdf", "/types/logo.gif", "/types/old.htm"}),
                 QString());
        QCOMPARE(rig.errors(), (QStringList{"404 Not found|127.0.0.1/types/brochure.pdf",
                                            "404 Not found|127.0.0.1/types/logo.gif"}));
        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/types/old.htm"});
        QCOMPARE(rig.engine.statistics().pagesScanned, 6); // error pages count twice
    }

    void missingFileTypesLetOnlyDirectoriesAndQueriesThrough()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        QFile::remove(rig.env.path(QStringLiteral("filetypes.txt")));
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/types/"));
        QVERIFY(rig.run());
        QCOMPARE(rig.nginx.requestedPaths(), (QStringList{"/types/", "/types/search?q=links"}));
    }

    void linksExpectedReachedEarly_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("auto2");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("paths");
        const QString r1 = "Direct Link|001|127.0.0.1|127.0.0.1/early";
        const QString r2 = "Direct Link|002|127.0.0.1|127.0.0.1/early";
        const QString r3 = "Direct Link|003|127.0.0.1|127.0.0.1/early";
        QTest::newRow("one") << "1" << "1" << QStringList{r1} << QStringList{"/early/"};
        QTest::newRow("three on one page") << "3" << "1" << QStringList{r1, r2, r3} << QStringList{"/early/"};
        QTest::newRow("not a number counts as one") << "2.5" << "1" << QStringList{r1} << QStringList{"/early/"};
        QTest::newRow("sign and spaces") << " +2 " << "1" << QStringList{r1, r2} << QStringList{"/early/"};
        QTest::newRow("zero: no fetch") << "0" << "1" << QStringList{"None Found|000|127.0.0.1|127.0.0.1"}
                                        << QStringList{};
        QTest::newRow("go on without auto") << "2" << "0" << QStringList{r1, r2}
                                            << QStringList{"/early/", "/early/more1.html"}; // reading stopped before more2
    }
    void linksExpectedReachedEarly()
    {
        QFETCH(QString, expected);
        QFETCH(QString, auto2);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, paths);
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        set(Keys::chkAuto2, auto2);
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/early/"), expected);
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), rows);
        QCOMPARE(rig.nginx.requestedPaths(), paths);
    }

    // Links that pass no value: the anchor's rel tokens, the page's robots
    // directives and the site's robots.txt (the fixture's, at its root).
    void linkNotes_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("plainDirectives");
        QTest::addColumn<QString>("linkNotes"); // chkLinkNotes; "" leaves the default
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("robotsFiles");
        QTest::addColumn<QString>("anchor"); // of the first row
        const QStringList once{"/robots.txt"};
        QTest::newRow("rel after href, upper case, two tokens, a quoted \">\" before it")
            << "127.0.0.1/notes/after/" << "1" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/after|nofollow, sponsored"} << once << "My Site";
        QTest::newRow("rel before href, in apostrophes")
            << "127.0.0.1/notes/before/" << "1" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/before|ugc"} << once << "My Site";
        QTest::newRow("rel unquoted") << "127.0.0.1/notes/unquoted/" << "1" << "" << ""
                                      << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/unquoted|nofollow"}
                                      << once << "My Site";
        QTest::newRow("other rel tokens; nofollow on the next anchor only")
            << "127.0.0.1/notes/plain/" << "1" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/plain"} << once << "My Site";
        QTest::newRow("meta robots noindex") << "127.0.0.1/notes/meta/" << "1" << "" << ""
                                             << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/meta|noindex page"}
                                             << once << "My Site";
        QTest::newRow("meta googlebot none, another crawler's meta passed over")
            << "127.0.0.1/notes/none/" << "1" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/none|ugc, noindex page, nofollow page"} << once << "My Site";
        const QString header = "location /notes/header/ { add_header X-Robots-Tag \"otherbot: noindex\"; "
                               "add_header X-Robots-Tag \"googlebot: nofollow\"; }";
        QTest::newRow("X-Robots-Tag for googlebot, another crawler's passed over")
            << "127.0.0.1/notes/header/" << "1" << header << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/header|nofollow page"} << once << "My Site";
        QTest::newRow("robots.txt: Disallow, and a longer Allow for one page")
            << "127.0.0.1/notes/blocked/" << "2" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/blocked|nofollow, blocked by robots.txt",
                           "Direct Link|002|127.0.0.1|127.0.0.1/notes/blocked/open.html"}
            << once << "My Site";
        QTest::newRow("hidden by its block's style")
            << "127.0.0.1/notes/hidden/" << "1" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/hidden|hidden"} << once << "My Site";
        QTest::newRow("canonical URL in the page")
            << "127.0.0.1/notes/canonical/" << "1" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/canonical|canonical elsewhere"} << once << "My Site";
        QTest::newRow("canonical URL in a Link header")
            << "127.0.0.1/notes/header/" << "1"
            << "location /notes/header/ { add_header Link \"</notes/>; rel=canonical\"; }" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/header|canonical elsewhere"} << once << "My Site";
        QTest::newRow("robots.txt: blocked for Googlebot only; an image's alt")
            << "127.0.0.1/notes/google/" << "1" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/google|blocked for Googlebot"} << once << "My Site";
        QTest::newRow("a meta refresh is a redirect page")
            << "127.0.0.1/notes/refresh/" << "1" << "" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/refresh"} << once << "My Site";
        QTest::newRow("a redirect page's target has notes of its own")
            << "127.0.0.1/notes/moved/" << "1" << "location /notes/moved/target.html { add_header X-Robots-Tag noindex; }" << ""
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/moved|noindex page"} << once << "My Site";
        QTest::newRow("chkLinkNotes 0: no notes, no robots.txt")
            << "127.0.0.1/notes/blocked/" << "2" << "" << "0"
            << QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/notes/blocked",
                           "Direct Link|002|127.0.0.1|127.0.0.1/notes/blocked/open.html"}
            << QStringList{} << "My Site";
    }
    void linkNotes()
    {
        QFETCH(QString, anchor);
        QFETCH(QString, site);
        QFETCH(QString, expected);
        QFETCH(QString, plainDirectives);
        QFETCH(QString, linkNotes);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, robotsFiles);
        NginxRunner::Options options;
        options.plainDirectives = plainDirectives;
        ScanRig rig(options);
        QVERIFY2(rig.nginx.isRunning(), qPrintable(rig.nginx.failure()));
        if (!linkNotes.isEmpty())
            set(Keys::chkLinkNotes, linkNotes);
        const int m = rig.addMain();
        rig.addSite(m, site, expected);
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), rows);
        QCOMPARE(rig.project.results().first().anchor, anchor);
        QCOMPARE(rig.errors(), QStringList{});
        QCOMPARE(rig.nginx.requestedRobotsFiles(), robotsFiles);
        // robots.txt is no page of the scan, nor is the target of a redirect page.
        const QStringList paths = rig.nginx.requestedPaths();
        QCOMPARE(rig.engine.statistics().pagesScanned, paths.size() - paths.count(QStringLiteral("/notes/moved/target.html"))
                                                           - paths.count(QStringLiteral("/notes/refresh/links.html")));
        QCOMPARE(rig.frontEnd.finished.size(), 1);
    }

    void fewerLinksThanExpectedGivesMissing()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/missing/"), QStringLiteral("3"));
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/missing",
                                          "Missing 002|000|127.0.0.1|127.0.0.1/missing/second.html"}));
        QCOMPARE(rig.frontEnd.finished.first().outcome, QStringLiteral("Missing 002"));
    }

    void mentionWithoutLink()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/mention/"));
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), QStringList{"Redirect Link|001|127.0.0.1|127.0.0.1/mention/about.html"});
        QCOMPARE(rig.project.linkingSites(m).first().colour, RowColour::Green);
        QCOMPARE(rig.project.linkingSites(m).first().url, QStringLiteral("127.0.0.1/mention/about.html"));
        QCOMPARE(rig.engine.statistics().linksFound, 1);

        set(Keys::chkRedirect, QStringLiteral("0"));
        rig.project.setLinkingSiteUrl(m, 0, QStringLiteral("127.0.0.1/mention/"));
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), QStringList{"None Found (Possible Redirected URL)|000|127.0.0.1|127.0.0.1"});
    }

    void errorPageIsTheReason()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/nothere/"));
        QVERIFY(rig.run());
        QCOMPARE(rig.errors(), QStringList{"404 Not found|127.0.0.1/nothere/"});
        QCOMPARE(rig.rows(), QStringList{"None Found (404 Not found)|000|127.0.0.1|127.0.0.1"});
        QCOMPARE(rig.engine.statistics().pagesScanned, 2);
        // A page that is not there is an answer: the site was checked.
        QCOMPARE(rig.frontEnd.conclusions.size(), 1);
        QVERIFY(rig.frontEnd.conclusions.first().checked);
        QCOMPARE(rig.frontEnd.conclusions.first().reason, QStringLiteral("404 Not found"));
    }

    void pageLimitOfOne()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        rig.engine.setPageLimit(1);
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/direct/"));
        QVERIFY(rig.run());
        QCOMPARE(rig.nginx.requestedPaths(), QStringList{"/direct/"});
        QCOMPARE(rig.rows(), QStringList{"None Found|000|127.0.0.1|127.0.0.1"});
    }

    // Main Site A with two Linking Sites, B with none, one that normalises to
    // "" with one (every anchor would "contain" it), C with one.
    static void threeMainSites(ScanRig &rig)
    {
        const int a = rig.addMain();
        rig.addSite(a, QStringLiteral("127.0.0.1/direct/"));
        rig.addSite(a, QStringLiteral("127.0.0.1/domain/"));
        rig.addMain(QStringLiteral("www.empty.com"));
        rig.addSite(rig.addMain(QStringLiteral("http://")), QStringLiteral("127.0.0.1/early/"));
        const int c = rig.addMain(QStringLiteral("mysite.com/links.htm"));
        rig.addSite(c, QStringLiteral("127.0.0.1/missing/"));
    }

    void scanTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("main");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("message");
        QTest::newRow("all, passing over a Main Site without sites or with a blank URL")
            << 0 << -1 << -1 << QStringList{"Direct Link", "Domain Link", "Direct Link"} << "";
        QTest::newRow("selected main site") << 1 << 0 << -1 << QStringList{"Direct Link", "Domain Link"} << "";
        QTest::newRow("selected linking site") << 2 << 0 << 1 << QStringList{"Domain Link"} << "";
        QTest::newRow("no main site selected")
            << 1 << -1 << -1 << QStringList{} << "You must select a Main Site to scan before using this scan type.";
        QTest::newRow("main site without sites")
            << 1 << 1 << -1 << QStringList{} << "You must enter a Linking Site to scan before using this scan type.";
        QTest::newRow("no linking site selected")
            << 2 << 0 << -1 << QStringList{} << "You must select a Linking Site to scan before using this scan type.";
    }
    void scanTypes()
    {
        QFETCH(int, type);
        QFETCH(int, main);
        QFETCH(int, row);
        QFETCH(QStringList, statuses);
        QFETCH(QString, message);
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        threeMainSites(rig);
        rig.project.appendResult(LinkResult{}); // a start empties the results even when a check fails
        rig.project.setLinkingSiteColour(0, 0, RowColour::Red);
        rig.engine.setScanType(type);
        rig.frontEnd.mainSelection = main;
        rig.frontEnd.linkingSelection = row;
        if (!message.isEmpty()) {
            rig.engine.startScan();
            QVERIFY(!rig.engine.isScanning());
            QCOMPARE(rig.frontEnd.messages, QStringList{message});
            QVERIFY(rig.project.results().isEmpty());
            QCOMPARE(rig.project.linkingSites(0).first().colour, RowColour::Default);
            return;
        }
        QVERIFY(rig.run());
        QStringList got;
        for (const LinkResult &r : rig.project.results())
            got << r.status;
        QCOMPARE(got, statuses);
        QVERIFY(rig.frontEnd.messages.isEmpty());
        // One host's robots.txt is read once a scan, however many of its sites link.
        QCOMPARE(rig.nginx.requestedRobotsFiles(), QStringList{"/robots.txt"});
    }

    void firstMainSiteWithoutSitesCannotStart()
    {
        ScanRig rig;
        rig.addMain(QStringLiteral("www.empty.com"));
        rig.engine.startScan();
        QVERIFY(!rig.engine.isScanning());
        QCOMPARE(rig.frontEnd.messages, QStringList{"Please enter at least one website to search for links."});
        QCOMPARE(rig.frontEnd.focused, 2);
    }

    void skipChoices_data()
    {
        QTest::addColumn<int>("scanType");
        QTest::addColumn<int>("skipType");
        QTest::addColumn<QStringList>("statuses");
        // Skipping the current Linking Site goes on as a scan of all Main Sites would.
        QTest::newRow("linking site, type 2") << 2 << 0 << QStringList{"None Found (Skipped)", "Domain Link"};
        QTest::newRow("linking site, type 0")
            << 0 << 0 << QStringList{"None Found (Skipped)", "Domain Link", "Direct Link"};
        // Skipping the Main Site goes to the next one with Linking Sites and a URL.
        QTest::newRow("main site, type 0") << 0 << 1 << QStringList{"None Found (Skipped)", "Direct Link"};
        QTest::newRow("main site, type 2") << 2 << 1 << QStringList{"None Found (Skipped)", "Direct Link"};
    }
    void skipChoices()
    {
        QFETCH(int, scanType);
        QFETCH(int, skipType);
        QFETCH(QStringList, statuses);
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        threeMainSites(rig);
        rig.engine.setScanType(scanType);
        rig.engine.setSkipType(skipType);
        rig.frontEnd.mainSelection = 0;
        rig.frontEnd.linkingSelection = 0;
        bool skipped = false;
        rig.frontEnd.onStatus = [&](int panel, const QString &text) {
            if (!skipped && panel == 3 && text == QLatin1String("Searching 127.0.0.1/direct/")) {
                skipped = true;
                rig.engine.skipCurrent();
            }
        };
        QVERIFY(rig.run());
        QStringList got;
        for (const LinkResult &r : rig.project.results())
            got << r.status;
        QCOMPARE(got, statuses);
        QVERIFY(!rig.nginx.requestedPaths().contains(QStringLiteral("/direct/")));
    }

    void skipDuringAnalysisLeavesTheOldPageBehind()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/skip/"));
        rig.addSite(m, QStringLiteral("127.0.0.1/domain/"));
        bool skipped = false;
        rig.frontEnd.onStatus = [&](int panel, const QString &text) {
            if (!skipped && panel == 2 && text == QLatin1String("Getting Links")) {
                skipped = true;
                rig.engine.skipCurrent();
            }
        };
        QVERIFY(rig.run());
        // The skipped page mentions the Main Site (so it closes as a Redirect
        // Link), but its anchor to the Main Site must not be counted for the
        // next site, nor its pages queued there.
        QCOMPARE(rig.rows(), (QStringList{"Redirect Link|001|127.0.0.1|127.0.0.1/skip",
                                          "Domain Link|001|127.0.0.1|127.0.0.1/domain"}));
        QCOMPARE(rig.nginx.requestedPaths(), (QStringList{"/skip/", "/domain/"}));
    }

    // A Skip while the target of a redirect page is analysed leaves nothing
    // of that page behind: the next site's redirect page is followed too.
    void skipWhileARedirectTargetIsAnalysed()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/redirect/"));
        rig.addSite(m, QStringLiteral("127.0.0.1/redirect/index.html"));
        int analyses = 0;
        rig.frontEnd.onStatus = [&](int panel, const QString &text) {
            if (panel == 2 && text == QLatin1String("Getting Links") && ++analyses == 2)
                rig.engine.skipCurrent(); // the first site's redirect target
        };
        QVERIFY(rig.run());
        QCOMPARE(rig.rows(), (QStringList{"Redirect Link|001|127.0.0.1|127.0.0.1/redirect",
                                          "Direct Link|001|127.0.0.1|127.0.0.1/redirect/index.html"}));
    }

    void stopDuringAnalysis()
    {
        ScanRig rig;
        QVERIFY(rig.nginx.isRunning());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/skip/"));
        rig.addSite(m, QStringLiteral("127.0.0.1/domain/"));
        rig.frontEnd.onStatus = [&](int panel, const QString &text) {
            if (panel == 2 && text == QLatin1String("Getting Links"))
                rig.engine.stopScan();
        };
        QVERIFY(rig.run());
        QVERIFY(rig.project.results().isEmpty());
        QCOMPARE(rig.frontEnd.stops, 1);
        QCOMPARE(rig.nginx.requestedPaths(), QStringList{"/skip/"});
        QTest::qWait(100);
        QCOMPARE(rig.nginx.requestedPaths(), QStringList{"/skip/"});
    }

    void silentServerTimesOut()
    {
        ScanRig rig;
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::silent());
        rig.engine.setPort(server.port());
        set(Keys::txtTimeout, QStringLiteral("1"));
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run());
        QVERIFY(clock.elapsed() < 4000);
        QCOMPARE(rig.errors(), QStringList{"Timeout|127.0.0.1"});
        QCOMPARE(rig.rows(), QStringList{"None Found (Timeout)|000|127.0.0.1|127.0.0.1"});
        QVERIFY(rig.frontEnd.statusLog.contains(QStringLiteral("4:1 of 1 seconds")));
    }

    // Data that arrives while a tick shows the idle count restarts the count
    // before the tick compares it: the page is not timed out.
    void dataDuringTheIdleTickKeepsThePage()
    {
        ScanRig rig;
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\n", ScriptedReply::Ending::KeepOpen));
        set(Keys::chkLinkNotes, QStringLiteral("0")); // the scripted replies are the pages' only
        rig.engine.setPort(server.port());
        set(Keys::txtTimeout, QStringLiteral("1"));
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/"));
        bool sent = false;
        rig.frontEnd.onStatus = [&](int panel, const QString &) {
            if (!sent && panel == 4) {
                sent = true;
                server.sendNow("<a href=\"http://www.mysite.com/links.htm\">me</a>", false);
                QTimer::singleShot(400, &server, [&server] { server.sendNow(QByteArray(), true); });
                QTest::qWait(200);
            }
        };
        QVERIFY(rig.run());
        QVERIFY(sent);
        QVERIFY(rig.errors().isEmpty());
        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1"});
    }

    void timeoutAfterAnErrorPageIsTheLastWord()
    {
        ScanRig rig;
        ScriptedHttpServer server;
        server.addReply(ScriptedReply::whole("HTTP/1.1 404 Not Found\r\n\r\n<a href=\"b.html\">b</a>"));
        server.addReply(ScriptedReply::silent());
        rig.engine.setPort(server.port());
        set(Keys::txtTimeout, QStringLiteral("0")); // the first tick ends it
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/"));
        QVERIFY(rig.run());
        QCOMPARE(rig.errors(), (QStringList{"404 Not found|127.0.0.1/", "Timeout|127.0.0.1"}));
        QCOMPARE(rig.rows(), QStringList{"None Found (Timeout)|000|127.0.0.1|127.0.0.1"});
    }

    // robots.txt comes on a connection of its own, after the page with the
    // link; the site ends once its answer is in the row, or once the time-out
    // has passed without one. A server error or no answer leaves the file
    // unreachable; a 4xx answer means there is none.
    void robotsAnswer_data()
    {
        QTest::addColumn<ScriptedReply>("robots");
        QTest::addColumn<int>("timeOut");
        QTest::addColumn<bool>("skip"); // pressed as the site starts to wait
        QTest::addColumn<QString>("notes");
        const QByteArray rules = "User-agent: *\nDisallow: /\n";
        ScriptedReply late;
        late.pieces = {{400, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n" + rules}};
        QTest::newRow("answered late") << late << 1 << false << "blocked by robots.txt";
        QTest::newRow("never answered") << ScriptedReply::silent() << 1 << false << "robots.txt unreachable";
        QTest::newRow("never answered, Skip does not wait") << ScriptedReply::silent() << 30 << true << "";
        QTest::newRow("server error")
            << ScriptedReply::whole("HTTP/1.1 503 Service Unavailable\r\n\r\n" + rules) << 1 << false
            << "robots.txt unreachable";
        QTest::newRow("not found") << ScriptedReply::whole("HTTP/1.1 404 Not Found\r\n\r\n" + rules) << 1 << false
                                   << "";
    }
    void robotsAnswer()
    {
        QFETCH(ScriptedReply, robots);
        QFETCH(int, timeOut);
        QFETCH(bool, skip);
        QFETCH(QString, notes);
        ScriptedScanRig rig(timeOut);
        // Skip once the robots.txt request is in, as a user who waited a moment.
        std::function<void()> skipWhenAsked = [&] {
            const QList<QByteArray> &asked = rig.server.requests();
            if (asked.size() >= 2 && asked.at(1).endsWith("\r\n\r\n"))
                rig.engine.skipCurrent();
            else
                QTimer::singleShot(10, &rig.engine, skipWhenAsked);
        };
        if (skip) {
            rig.frontEnd.onStatus = [&](int panel, const QString &text) {
                if (panel == 2 && text == QLatin1String("Reading robots.txt"))
                    QTimer::singleShot(0, &rig.engine, skipWhenAsked);
            };
        }
        set(Keys::chkLinkNotes, QStringLiteral("1"));
        rig.server.addReply(ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\n<a href=\"http://www.mysite.com/links.htm\">me</a>"));
        rig.server.addReply(robots);
        rig.addSite(QStringLiteral("127.0.0.1/"));
        QString notesAtFinish = QStringLiteral("not finished");
        rig.frontEnd.onFinished = [&] { notesAtFinish = rig.project.results().first().notes; };
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.run(10000));
        QVERIFY(clock.elapsed() < 4000);
        QCOMPARE(rig.requestedPaths(), (QStringList{"/", "/robots.txt"}));
        QCOMPARE(notesAtFinish, notes);
        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1" + (notes.isEmpty() ? "" : "|" + notes)});
        QCOMPARE(rig.errors(), QStringList{});
        QCOMPARE(rig.engine.statistics().pagesScanned, 1);
    }

    // Everyone who asks for a host's file waits for the one download.
    void robotsFileSharedByItsWaiters()
    {
        TestEnv env;
        ScriptedHttpServer server;
        ScriptedReply reply;
        reply.pieces = {{200, "HTTP/1.1 200 OK\r\n\r\nUser-agent: *\nDisallow: /private/\n"}};
        server.setReply(reply);
        RobotsCache cache;
        cache.setPorts(server.port(), 443);
        QObject first, second;
        int called = 0;
        const QString key = cache.request(QStringLiteral("127.0.0.1"), false);
        cache.whenKnown(key, &first, [&] { ++called; });
        QCOMPARE(cache.request(QStringLiteral("127.0.0.1"), false), key);
        cache.whenKnown(key, &second, [&] { ++called; });
        QVERIFY(!cache.isKnown(key));
        QTRY_COMPARE(called, 2);
        QCOMPARE(server.connectionCount(), 1);
        QVERIFY(!cache.allows(key, QStringLiteral("/private/a.html")));
        QVERIFY(cache.allows(key, QStringLiteral("/public/a.html")));
        // Known already: the answer still comes from the event loop, not at once.
        cache.whenKnown(key, &first, [&] { ++called; });
        QCOMPARE(called, 2);
        QTRY_COMPARE(called, 3);
        // A new scan forgets it; a waiter of the old one is not called.
        cache.whenKnown(key, &first, [&] { ++called; });
        cache.clear();
        QTest::qWait(50);
        QCOMPARE(called, 3);
        QVERIFY(!cache.isKnown(key));
    }

    void endlessServerEndsAtTheCap()
    {
        ScanRig rig;
        ScriptedHttpServer server;
        ScriptedReply endless = ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\n<a href=\"http://www.mysite.com/links.htm\">x</a>",
                                                     ScriptedReply::Ending::Endless);
        server.setReply(endless);
        set(Keys::chkLinkNotes, QStringLiteral("0")); // the scripted replies are the pages' only
        rig.engine.setPort(server.port());
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/"));
        QVERIFY(rig.run(30000));
        QCOMPARE(rig.rows(), QStringList{"Direct Link|001|127.0.0.1|127.0.0.1"});
    }

    // Sites that end without a fetch follow one another without growing the
    // stack: 20,000 of them finish on a thread with a stack of 1 MiB.
    void twentyThousandSitesWithoutAFetch()
    {
        qsizetype rows = -1;
        QThread *thread = QThread::create([&rows] {
            ScanRigBase rig(1);
            const int m = rig.project.addMainSite(QString::fromLatin1(ScanRigBase::kMainSite));
            QList<LinkingSite> sites(20000);
            for (int i = 0; i < sites.size(); ++i) {
                sites[i].url = QStringLiteral("127.0.0.1/s%1/").arg(i);
                sites[i].linksExpected = QStringLiteral("0");
            }
            rig.project.setLinkingSites(m, sites);
            if (rig.run(240000) && rig.frontEnd.stops == 1)
                rows = rig.project.results().size();
        });
        thread->setStackSize(1024 * 1024);
        thread->start();
        QVERIFY(thread->wait(300000));
        delete thread;
        QCOMPARE(rows, qsizetype(20000));
    }

    void pageTextsFedStraightToTheAnalysis()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::chkLinkNotes, QStringLiteral("0"));
        SiteScanRig rig;
        const int m = rig.project.addMainSite(QString::fromLatin1(ScanRigBase::kMainSite));
        rig.project.addLinkingSite(m, QStringLiteral("127.0.0.1/"));
        // Odd anchors must neither crash nor hang the analysis. Each page ends
        // the site (the page limit is one), so the site is started again.
        const QStringList pages = {
            "", "href=", "href=\"", "HREF='x'>", "href=\"\"\"", "<a href = \"a.html\">", "href=\r\r\n\n",
            "href=        'http://www.mysite.com/links.htm'>", "href=mysite.com/links.htm> x", "href=mysite.com/links.htm",
            "301 Moved Permanently", "href=\"../../../../x.html\"", QString(5000, QLatin1Char('h')) + "href=" + QString(9000, 'a'),
        };
        int directLinks = 0;
        for (const QString &p : pages) {
            QVERIFY(rig.start(m, 0));
            QVERIFY(rig.feed(p));
            QVERIFY(rig.finished());
            for (const LinkResult &row : rig.site()->record().rows)
                directLinks += row.status == QLatin1String("Direct Link");
        }
        QCOMPARE(directLinks, 2); // an anchor without terminator loses two characters: not a link
    }
};

QTEST_GUILESS_MAIN(TestScan)
#include "tst_scan.moc"
