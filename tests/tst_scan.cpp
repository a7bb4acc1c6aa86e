// Whole scans against nginx serving the fixture site, and the cases that need
// a scripted server (silence, an error page before a time-out).
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/ScanRig.h"
#include "support/ScriptedHttpServer.h"

#include <QThread>

#include <QtTest>

static void set(const QString &key, const QString &value)
{
    SettingsStore::instance().write(key, value);
}

class TestScan : public QObject
{
    Q_OBJECT
private slots:
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
        QCOMPARE(rig.nginx.requestedPaths(),
                 (QStringList{"/direct/", "/direct/page2.html", "/direct/Page3.html"}));
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
        QCOMPARE(rig.nginx.requestedPaths(),
                 (QStringList{"/types/", "/types/brochure.pdf", "/types/logo.gif", "/types/old.htm"}));
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

    void endlessServerEndsAtTheCap()
    {
        ScanRig rig;
        ScriptedHttpServer server;
        ScriptedReply endless = ScriptedReply::whole("HTTP/1.1 200 OK\r\n\r\n<a href=\"http://www.mysite.com/links.htm\">x</a>",
                                                     ScriptedReply::Ending::Endless);
        server.setReply(endless);
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
            rig.engine.startScan();
            if (!rig.engine.isScanning() && rig.frontEnd.stops == 1)
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
        ScanRig rig;
        ScriptedHttpServer server;
        server.setReply(ScriptedReply::silent());
        rig.engine.setPort(server.port());
        set(Keys::txtTimeout, QStringLiteral("30"));
        const int m = rig.addMain();
        rig.addSite(m, QStringLiteral("127.0.0.1/"), QStringLiteral("50"));
        int directLinks = 0;
        connect(&rig.project, &Project::resultAppended, this, [&](int i) {
            directLinks += rig.project.results().at(i).status == QLatin1String("Direct Link");
        });
        // Odd anchors must neither crash nor hang the analysis. Each page ends
        // the site (its queue is empty), so the scan is started again as needed.
        const QStringList pages = {
            "", "href=", "href=\"", "HREF='x'>", "href=\"\"\"", "<a href = \"a.html\">", "href=\r\r\n\n",
            "href=        'http://www.mysite.com/links.htm'>", "href=mysite.com/links.htm> x", "href=mysite.com/links.htm",
            "301 Moved Permanently", "href=\"../../../../x.html\"", QString(5000, QLatin1Char('h')) + "href=" + QString(9000, 'a'),
        };
        for (const QString &p : pages) {
            if (!rig.engine.isScanning())
                rig.engine.startScan();
            QVERIFY(rig.engine.isScanning());
            rig.engine.analysePageText(p);
        }
        QCOMPARE(directLinks, 2); // an anchor without terminator loses two characters: not a link
        rig.engine.stopScan();
    }
};

QTEST_GUILESS_MAIN(TestScan)
#include "tst_scan.moc"
