#include "import/BacklinkImport.h"
#include "import/DelimitedList.h"
#include "import/LinkExtraction.h"
#include "import/LinkHarvest.h"
#include "import/SiteFileImport.h"
#include "url/TextLines.h"
#include "model/Project.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

namespace {

QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(RECIPLEX_TEST_DATA "/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString commaList(const QStringList &links)
{
    return links.isEmpty() ? QString() : links.join(QLatin1Char(',')) + QLatin1Char(',');
}

struct HarvestLog
{
    QStringList rows;
    QStringList statuses;
    int clears = 0;
    HarvestCallbacks callbacks()
    {
        HarvestCallbacks c;
        c.clearRows = [this] { ++clears; rows.clear(); };
        c.addRow = [this](const QString &r) { rows << r; };
        c.showStatus = [this](const QString &s) { statuses << s; };
        return c;
    }
};

HarvestRequest advanced(const QString &url, std::optional<QString> delimiter)
{
    HarvestRequest r;
    r.mode = HarvestMode::Advanced;
    r.listUrl = url;
    r.delimiter = std::move(delimiter);
    return r;
}

} // namespace

class TestImport : public QObject
{
    Q_OBJECT
private slots:
    // The backlink exports of the common tools, each as the tool writes it.
    void backlinkExports_data()
    {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QStringList>("toMySite");   // Linking Sites added to mysite.com/links.htm
        QTest::addColumn<QStringList>("toOther");    // and to other.net
        QTest::addColumn<QString>("summary");        // "" to leave unchecked
        QTest::addColumn<QString>("error");

        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QTest::newRow("webmaster console links export, UTF-8 with BOM")
            << QByteArray("\xEF\xBB\xBFLinking page,Target page,Last crawled\r\n"
                          "https://partner.org/links.html,https://www.mysite.com/,2026-11-02\r\n"
                          "https://blog.example/post?id=1,https://mysite.com/links.htm,2026-11-03\r\n"
                          "https://blog.example/post?id=1,https://mysite.com/about,2026-11-03\r\n"
                          "http://friend.example/,http://OTHER.net/shop,2026-11-04\r\n"
                          "https://spam.example/,https://elsewhere.example/,2026-11-05\r\n"
                          ",https://mysite.com/,2026-11-06\r\n")
            << QStringList{"https://blog.example/post?id=1"} << QStringList{"http://friend.example/"}
            << QStringLiteral("Added 2 Linking Sites: 1 to http://www.mysite.com/links.htm, 1 to other.net.\n"
                              "Skipped 2 pages already there or listed twice.\n"
                              "Not added: 1 row linking to none of your Main Sites: elsewhere.example (1).\n"
                              "Not added: 1 row without a linking page address.")
            << QString();
        QTest::newRow("backlink index export, UTF-16 with BOM, tabs")
            << QByteArray(utf16.encode(QStringLiteral("Referring page title\tReferring page URL\tDomain rating\tTarget URL\tAnchor\r\n"
                                           "\"Links, \"\"friends\"\"\"\thttps://www.shop.example/partners\t41\thttps://www.mysite.com/links.htm\tMy site\r\n"
                                           "Blog – naïve\thttps://naïve.example/blog\t12\thttps://other.net/\tOther\r\n")))
            << QStringList{"https://www.shop.example/partners"} << QStringList{"https://naïve.example/blog"} << QString()
            << QString();
        QTest::newRow("backlink index export, semicolons, quoted")
            << QByteArray("\"Page ascore\";\"Source title\";\"Source url\";\"Target url\";\"Anchor\"\n"
                          "12;\"Title; with semicolon\";\"https://a.example/x\";\"https://mysite.com/links.htm\";\"a\"\n"
                          "3;\"Line\nbreak\";\"https://b.example/y\";\"http://www.other.net\";\"b\"\n")
            << QStringList{"https://a.example/x"} << QStringList{"https://b.example/y"} << QString() << QString();
        QTest::newRow("no target column: the current Main Site")
            << QByteArray("Linking page,Last crawled\nhttps://c.example/,2026-11-01\nhttps://c.example,2026-11-02\n")
            << QStringList{"https://c.example/"} << QStringList() << QString() << QString();
        QTest::newRow("no source column")
            << QByteArray("Site,Linking pages\nexample.com,3\n") << QStringList() << QStringList() << QString()
            << QStringLiteral("No column of linking pages was found (a header such as \"Source URL\", \"Referring page URL\" or \"Linking page\").");
        QTest::newRow("unclosed quote, binary tail")
            << QByteArray("Source URL,Target URL\n\"https://d.example/,https://mysite.com/\n\x00\xff\xfe\x01", 66)
            << QStringList() << QStringList() << QString() << QString();
    }

    void backlinkExports()
    {
        QFETCH(QByteArray, csv);
        Project project;
        const int mine = project.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
        const int other = project.addMainSite(QStringLiteral("other.net"));
        project.addLinkingSite(mine, QStringLiteral("partner.org/links.html"));
        const BacklinkImportResult result = importBacklinks(project, csv, mine);
        QFETCH(QString, error);
        QCOMPARE(result.ok, error.isEmpty());
        QCOMPARE(result.error, error);
        QStringList added;
        for (const LinkingSite &site : project.linkingSites(mine).mid(1)) {
            QCOMPARE(site.linkPageUrl, site.url);
            added << site.url;
        }
        QTEST(added, "toMySite");
        added.clear();
        for (const LinkingSite &site : project.linkingSites(other))
            added << site.url;
        QTEST(added, "toOther");
        QFETCH(QString, summary);
        if (!summary.isEmpty())
            QCOMPARE(result.summary(), summary);
    }

    void importBaseOfTypedUrl_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("base");
        QTest::newRow("scheme, www, page") << "http://www.my-site.com/links/partners.html" << "my-site.com/";
        QTest::newRow("bare host") << "my-site.com" << "my-site.com";
        QTest::newRow("https") << "https://my-site.com/" << "my-site.com/";
        QTest::newRow("exact case only") << "HTTP://WWW.My-Site.com/x" << "HTTP:/";
        QTest::newRow("www. anywhere") << "http://shop.www.site.com/x" << "shop.site.com/";
    }
    void importBaseOfTypedUrl()
    {
        QFETCH(QString, typed);
        QFETCH(QString, base);
        QCOMPARE(importBase(typed), base);
    }

    void resolveLinkForms_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("link");
        const QString b = QStringLiteral("my-site.com/");
        QTest::newRow("absolute, any case") << "HTTP://www.Partner.com/links.htm" << b << "www.Partner.com/links.htm";
        QTest::newRow("https is not absolute") << "https://partner.org" << b << "my-site.com/partner.org";
        QTest::newRow("https with marker") << "https://partner.net" << b << "partner.net/";
        QTest::newRow("root relative") << "/about.htm" << b << "my-site.com/about.htm";
        QTest::newRow("parent") << "../up/x.htm" << b << "my-site.com/up/x.htm";
        QTest::newRow("parent of bare base") << "../x.htm" << "my-site.com" << "my-site.com/x.htm";
        QTest::newRow("dot slash") << "./a/./b.htm" << b << "my-site.com/a/b.htm";
        QTest::newRow("no marker is relative") << "partner.org/links" << b << "my-site.com/partner.org/links";
        QTest::newRow("marker, no slash") << "www.partner.info" << b << "www.partner.info/";
        QTest::newRow("cut .ph repaired") << "www.x.com/shop.ph" << b << "www.x.com/shop.php";
        QTest::newRow("stray href dropped") << "http://www.x.com/a/href" << b << "www.x.com/a";
        QTest::newRow("short text not repaired") << "a.com" << b << "a.com/";
    }
    void resolveLinkForms()
    {
        QFETCH(QString, candidate);
        QFETCH(QString, base);
        QFETCH(QString, link);
        QCOMPARE(resolveLink(candidate, base), link);
    }

    // A realistic links page: outgoing links among navigation, images,
    // scripts, mail, downloads and fragment links.
    void extractFromLinksPage()
    {
        const QString page = QString::fromLatin1(fixture("links-page.html"));
        QVERIFY(!page.isEmpty());
        const QStringList expected = {
            "www.gardening-tips.com/", "www.bird-watch.net/links.htm", "fishing-world.com/partners/index.php",
            "www.outdoor-gear.com/resources.asp", "www.hiking-trails.net/", "WWW.CampingPlaces.COM/Links/",
            "secure-tents.com/", "www.kayak-club.com/", "www.mountain-bikes.com/links.html",
            "www.rock-climbing.edu/", "www.partner-banners.com/", "trail-maps.org/",
            "www.bird-watch.net/links.htm", "www.sailing-school.com/links.htm",
            "www.surf-report.com/links.asp?id=5", "www.ocean-life.com/", "www.scuba-diving.net/friends/",
            "www.canoe-trips.com/partners.html", "www.horse-riding.com/links/", "www.cycling-routes.com/",
            "www.bird-feeders.com/shop/links.php", "www.garden-ponds.net/",
            "www.tree-houses.com/link-exchange.htm", "www.wild-flowers.com/",
            "www.mushroom-hunters.net/resources/", "www.star-gazing.com/links.html", "www.beach-guide.com/",
            "www.snow-shoes.com/links/", "www.fly-fishing.com/partners.asp", "www.orchard-fruit.com/",
            "www.compost-corner.com/links.htm", "www.hunting-dogs.com/", "www.bee-keeping.net/links/",
            "www.green-living.com/partners/page2.html", "validator.w3.org/check?uri=referer",
        };
        QList<int> progress;
        const QString base = importBase(QStringLiteral("http://www.my-links-site.com/links.html"));
        QCOMPARE(extractLinks(page, base, [&](int n) { progress << n; }), commaList(expected));
        QCOMPARE(progress.size(), int(expected.size()));
        QCOMPARE(progress.last(), int(expected.size()));
        QCOMPARE(extractedStatusText(3), QStringLiteral("Extracted 3 link(s)"));
    }

    void extractionEdges()
    {
        const QString base = QStringLiteral("my-site.com/");
        // A value whose closing quote ends the line loses its last character;
        // the ending repair restores ".asp", ".html" comes back as ".htm".
        QCOMPARE(extractLinks("<a\r\nhref=\"http://www.p.com/page.asp\"\r\n>P</a>", base), QStringLiteral("www.p.com/page.asp,"));
        QCOMPARE(extractLinks("<a href=\"http://www.p.com/page.html\"\r\n>P</a>", base), QStringLiteral("www.p.com/page.htm,"));
        // Several anchors on one line, "HREF=" in capitals, a final line without break.
        QCOMPARE(extractLinks("<a HREF='http://a.com/'>A</a><a href=\"http://b.net/x\">B</a><a href=http://c.edu/>", base),
                 QStringLiteral("a.com/,b.net/x,c.edu/,"));
        // An https host holding ".ra", media and fragments are dropped.
        QCOMPARE(extractLinks("<a href=\"https://www.rally-cars.com/\">R</a>\r\n<a href=\"http://x.com/a#b\">", base), QString());
        QCOMPARE(extractLinks(QStringLiteral("<p>no links at all</p>"), base), QString());
        QCOMPARE(extractLinks(QString(), base), QString());
        // An empty base is in every link: nothing is kept.
        QCOMPARE(extractLinks("<a href=\"http://www.partner.com/\">", QString()), QString());
        // A dangling "href=" at the very end: its cut value "hre" resolves to
        // the base without its "/", which the own-site test does not catch.
        QCOMPARE(extractLinks(QStringLiteral("text href="), base), QStringLiteral("my-site.com,"));
    }

    void lineRules()
    {
        QCOMPARE(splitTextLines(QStringLiteral("a\r\nb\rc\nd\r\n"), false), (QStringList{"a", "b", "c\nd"}));
        QCOMPARE(splitTextLines(QStringLiteral("a\r\nb\rc\nd"), true), (QStringList{"a", "b", "c", "d"}));
        QCOMPARE(splitTextLines(QStringLiteral("\r\n\r\n"), true), (QStringList{"", ""}));
        QCOMPARE(splitTextLines(QString(), true), QStringList());
    }

    void delimiterChoice()
    {
        QCOMPARE(delimiterForChoice(0, QStringLiteral("Vertical Bar Symbol")), std::optional<QString>("|"));
        QCOMPARE(delimiterForChoice(1, QString()), std::optional<QString>("%"));
        QCOMPARE(delimiterForChoice(2, QString()), std::optional<QString>(","));
        QCOMPARE(delimiterForChoice(3, QString()), std::optional<QString>("!"));
        QCOMPARE(delimiterForChoice(-1, QStringLiteral(";;")), std::optional<QString>(";;"));
        QCOMPARE(delimiterForChoice(-1, kDelimiterPrompt), std::nullopt);
        QCOMPARE(delimiterChoices().size(), 4);
    }

    // The removal ends on any input and removes every tag it can pair.
    void markupRemoval()
    {
        QCOMPARE(removeMarkup(QStringLiteral("<pre>a.com|b.com</pre>")), QStringLiteral("a.com|b.com"));
        QCOMPARE(removeMarkup(QStringLiteral("a.com<b")), QStringLiteral("a.com<b"));
        QCOMPARE(removeMarkup(QStringLiteral("x>y<pre>z</pre>")), QStringLiteral("x>yz"));
        QCOMPARE(removeMarkup(QStringLiteral("<<b>b>c")), QStringLiteral("b>c"));
        QCOMPARE(removeMarkup(QStringLiteral("<b>1<B>2<b>3")), QStringLiteral("123"));
        QElapsedTimer t;
        t.start();
        const QString hostile = QString(100000, QLatin1Char('<')) + QLatin1Char('>') + QString(100000, QLatin1Char('>'));
        QCOMPARE(removeMarkup(hostile), QString(100000, QLatin1Char('>')));
        QString manyTags;
        for (int i = 0; i < 2000; ++i)
            manyTags += QStringLiteral("<td class=c%1>site%1.com|").arg(i);
        const QString cleaned = removeMarkup(manyTags);
        QVERIFY(cleaned.startsWith(QStringLiteral("site0.com|site1.com|")));
        QVERIFY(!cleaned.contains(QLatin1Char('<')));
        QVERIFY(t.elapsed() < 10000);
    }

    // The one-pass removal gives what the tag-by-tag rule gives: the first "<"
    // with the first ">" after it, removed wherever it occurs, until no "<"
    // has a ">" after it. Every short text of brackets and two letters, then
    // longer texts built of tags that join into new tags as others go.
    void markupRemovalMatchesTheTagByTagRule()
    {
        const auto tagByTag = [](QString t) {
            for (;;) {
                const qsizetype open = t.indexOf(QLatin1Char('<'));
                if (open < 0)
                    return t;
                const qsizetype close = t.indexOf(QLatin1Char('>'), open + 1);
                if (close < 0)
                    return t;
                t.remove(t.mid(open, close - open + 1), Qt::CaseSensitive);
            }
        };
        const QString alphabet = QStringLiteral("<>ab");
        int checked = 0;
        for (int len = 0; len <= 8; ++len) {
            int combos = 1;
            for (int i = 0; i < len; ++i)
                combos *= 4;
            for (int c = 0; c < combos; ++c) {
                QString text;
                for (int i = 0, v = c; i < len; ++i, v /= 4)
                    text += alphabet.at(v % 4);
                QCOMPARE(removeMarkup(text), tagByTag(text));
                ++checked;
            }
        }
        const QStringList pieces = {"<a>", "<b>", "</a>", "<", ">", "x", "<a", "b>", "<<a>", "<a>>", " ", "<B>", "y<"};
        QRandomGenerator random(11);
        for (int n = 0; n < 10000; ++n) {
            QString text;
            const int count = 1 + int(random.bounded(40));
            for (int i = 0; i < count; ++i)
                text += pieces.at(int(random.bounded(qsizetype(pieces.size()))));
            QCOMPARE(removeMarkup(text), tagByTag(text));
            ++checked;
        }
        QVERIFY(checked > 90000);
    }

    void listTextAndEntries()
    {
        QCOMPARE(delimitedListText(QStringLiteral("<pre>a.com|b.net| c.org</pre>\r\n"), "|"), QStringLiteral("a.com,b.net,,c.org"));
        QCOMPARE(delimitedListText(QStringLiteral("x.comANDy.comandz.com"), "And"), QStringLiteral("x.com,y.com,z.com"));
        QCOMPARE(delimitedListText(QStringLiteral("a.com b.com"), QString()), QStringLiteral("a.comb.com"));
        QCOMPARE(splitImportList(QStringLiteral("a.com,,b.com\n,")), (QStringList{"a.com", "", "b.com", ""}));
        QCOMPARE(splitImportList(QString()), QStringList());
    }

    // Advanced mode against a script on loopback, one list per delimiter.
    void advancedModeDownloads_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("bar in pre, a space") << QByteArray("<html><body><pre>alpha.com|beta.net| gamma.org</pre></body></html>\r\n")
                                             << "|" << QStringList{"alpha.com", "beta.net", "", "gamma.org"};
        QTest::newRow("percent, CR LF lines") << QByteArray("one.com%\r\ntwo.com%\r\nthree.com") << "%"
                                              << QStringList{"one.com", "two.com", "three.com"};
        QTest::newRow("comma, trailing") << QByteArray("a.com, b.com,c.com,") << ","
                                         << QStringList{"a.com", "", "b.com", "c.com", ""};
        QTest::newRow("exclamation, br tags") << QByteArray("x.com!<br>y.com!<BR>z.com\n") << "!"
                                              << QStringList{"x.com", "y.com", "z.com"};
        QTest::newRow("typed two characters") << QByteArray("p.com::q.com") << "::" << QStringList{"p.com", "q.com"};
        QTest::newRow("empty reply") << QByteArray() << "|" << QStringList();
    }
    void advancedModeDownloads()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, delimiter);
        QFETCH(QStringList, rows);
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setBody(body);
        HarvestLog log;
        const QString url = server.baseUrl() + "/sites.php";
        const HarvestResult r = getLinks(advanced(url, delimiter), log.callbacks());
        QCOMPARE(r.kind, HarvestResult::Finished);
        QCOMPARE(r.rows, rows);
        QCOMPARE(log.rows, rows);
        QCOMPARE(server.targets(), QList<QByteArray>{"/sites.php"});
        QCOMPARE(log.statuses.first(), "Conecting to " + url);
        QCOMPARE(log.statuses.last(), QStringLiteral("Finished Downloading - %1 links found.").arg(rows.size()));
        if (!rows.isEmpty())
            QCOMPARE(log.statuses.at(log.statuses.size() - 2), QStringLiteral("Added %1 link(s)").arg(rows.size()));
    }

    void advancedModeNeedsDelimiter()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        HarvestLog log;
        log.rows << "old row";
        const HarvestResult r = getLinks(advanced(server.baseUrl() + "/x", std::nullopt), log.callbacks());
        QCOMPARE(r.kind, HarvestResult::NeedDelimiter);
        QCOMPARE(log.clears, 1);
        QVERIFY(log.rows.isEmpty());
        QVERIFY(server.requests().isEmpty());
    }

    // Simple mode: three outside links give four rows (the last one empty);
    // adding them all adds three Linking Sites, twice when pressed twice.
    void simpleModeAndAddSelected()
    {
        TestEnv env;
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setBody("<a href=\"/home.htm\">Home</a>\r\n<a href=\"http://www.one.com/\">1</a>"
                       "<a href=\"http://two.net/links.html\">2</a> <a href=\"http://three.com\">3</a>");
        HarvestLog log;
        HarvestRequest req;
        req.mode = HarvestMode::Simple;
        req.pageUrl = server.baseUrl() + "/links.htm";
        const HarvestResult r = getLinks(req, log.callbacks());
        QCOMPARE(r.rows, (QStringList{"www.one.com/", "two.net/links.html", "three.com/", ""}));
        QVERIFY(log.statuses.contains(QStringLiteral("Extracted 3 link(s)")));
        QCOMPARE(log.statuses.last(), QStringLiteral("Finished Downloading - 4 links found."));

        Project p;
        const int m = p.addMainSite(QStringLiteral("mine.com"));
        p.setSaved(true);
        QSignalSpy rows(&p, &Project::linkingSitesChanged);
        QCOMPARE(addSelectedLinks(p, m, r.rows).count, 3);
        QCOMPARE(rows.count(), 1);
        // A row that begins like a line marker of the project file is refused
        // and named; the others are added.
        const SiteImportResult more =
            addSelectedLinks(p, m, r.rows + QStringList{" ", "RESULT:c.com", "http://www.Kept.As.Typed.com "});
        QCOMPARE(more.count, 4);
        QCOMPARE(more.refused, QStringList{"RESULT:c.com"});
        QVERIFY(more.refusedMessage().contains("RESULT:c.com"));
        QStringList urls;
        for (const LinkingSite &s : p.linkingSites(m))
            urls << s.url + "#" + s.linksExpected;
        QCOMPARE(urls, (QStringList{"www.one.com/#1", "two.net/links.html#1", "three.com/#1", "www.one.com/#1",
                                    "two.net/links.html#1", "three.com/#1", "http://www.Kept.As.Typed.com #1"}));
        QVERIFY(p.isSaved());

        // No Main Site chosen: nothing is added anywhere.
        const SiteImportResult none = addSelectedLinks(p, -1, r.rows);
        QCOMPARE(none.kind, SiteImportResult::NoMainSite);
        QCOMPARE(p.linkingSites(m).size(), 7);
    }

    void unreachableSourceGivesNoRows()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const quint16 port = closed.serverPort();
        closed.close();
        HarvestLog log;
        const HarvestResult r = getLinks(advanced(QStringLiteral("127.0.0.1:%1/list").arg(port), "|"), log.callbacks());
        QCOMPARE(r.rows, QStringList());
        QCOMPARE(log.statuses.last(), QStringLiteral("Finished Downloading - 0 links found."));
    }

    // "Get Links" again while the first download waits: two downloads would fill one list.
    void secondGetLinksWhileRunning()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        HarvestLog log;
        QList<HarvestResult::Kind> nested;
        server.setResponder([&](const RecordingHttpServer::Request &) {
            HarvestLog other;
            nested << getLinks(advanced(server.baseUrl() + "/again", "|"), other.callbacks()).kind;
            RecordingHttpServer::Response resp;
            resp.body = "a.com|b.com";
            return resp;
        });
        const HarvestResult r = getLinks(advanced(server.baseUrl() + "/list", "|"), log.callbacks());
        QCOMPARE(r.rows, (QStringList{"a.com", "b.com"}));
        QCOMPARE(nested, QList<HarvestResult::Kind>{HarvestResult::AlreadyRunning});
        QCOMPARE(server.requests().size(), 1);
        QVERIFY(!harvestInProgress());
    }

    void fileImportBothWindows()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("Project Files/sites.txt"),
                      "partner.com|3\r\n  spaced.net  \r\n\r\n \r\nlf-only.org\n   \rlast.com|2|x\r\n"
                      " NEXTSITE:x.com|2\r\nHTML01:y.com");
        const QString path = env.path(QStringLiteral("Project Files/sites.txt"));
        QCOMPARE(importStartFolder(), env.path(QStringLiteral("Project Files")));

        Project p;
        const int first = p.addMainSite(QStringLiteral("first.com"));
        const int current = p.addMainSite(QStringLiteral("current.com"));
        p.setSaved(true);
        // The rows are announced once, not once each: a window redraws its
        // list once for an import of thousands.
        QSignalSpy linkingRows(&p, &Project::linkingSitesChanged);
        QSignalSpy mainRows(&p, &Project::mainSitesChanged);
        const SiteImportResult linking = importLinkingSitesFile(p, current, path);
        QCOMPARE(linkingRows.count(), 1);
        QCOMPARE(linking.kind, SiteImportResult::Added);
        QCOMPARE(linking.statusText, QStringLiteral("Added 5 link(s)"));
        QCOMPARE(linking.refused, (QStringList{"NEXTSITE:x.com", "HTML01:y.com"}));
        QStringList got;
        for (const LinkingSite &s : p.linkingSites(current))
            got << s.url + "#" + s.linksExpected;
        QCOMPARE(got, (QStringList{"partner.com#3", "spaced.net#1", "lf-only.org#1", "#1", "last.com#2"}));
        QVERIFY(p.linkingSites(first).isEmpty());

        const SiteImportResult mains = importMainSitesFile(p, path);
        QCOMPARE(mainRows.count(), 1);
        QCOMPARE(mains.statusText, QStringLiteral("Added 7 site(s)"));
        QVERIFY(mains.refused.isEmpty()); // a Main Site line is always written after "NEXTSITE:"
        QStringList mainUrls;
        for (const MainSite &m : p.mainSites())
            mainUrls << m.url;
        QCOMPARE(mainUrls, (QStringList{"first.com", "current.com", "partner.com|3", "  spaced.net  ", "lf-only.org",
                                        "   ", "last.com|2|x", " NEXTSITE:x.com|2", "HTML01:y.com"}));
        QVERIFY(p.isSaved()); // imports leave the saved flag alone

        Project empty;
        const SiteImportResult noMain = importLinkingSitesFile(empty, empty.currentMainSite(), path);
        QCOMPARE(noMain.kind, SiteImportResult::NoMainSite);
        QCOMPARE(empty.mainSiteCount(), 0);
        QCOMPARE(kSelectMainSiteFirst, QStringLiteral("Please select a Main Site first."));

        const SiteImportResult unreadable = importMainSitesFile(p, env.path(QStringLiteral("missing.txt")));
        QCOMPARE(unreadable.kind, SiteImportResult::Unreadable);
        QVERIFY(unreadable.errorMessage.startsWith(QStringLiteral("Error: ")));
        QCOMPARE(p.mainSiteCount(), 9);
    }
};

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
