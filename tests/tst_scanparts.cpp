// The scan's text rules on their own: rules, the "#" number rule, anchor
// normalisation, cache lines, the page queue and the readers of link notes.
#include "scan/HtmlTag.h"
#include "scan/LinkNotes.h"
#include "scan/PageCache.h"
#include "scan/PageQueue.h"
#include "scan/PageRobots.h"
#include "scan/RobotsTxt.h"
#include "scan/ScanRules.h"
#include "scan/ResultNumbers.h"
#include "support/TestEnv.h"
#include "url/TextSearch.h"

#include <QtTest>

static const QString M = QStringLiteral("www.mysite.com");
static const QString L = QStringLiteral("partner.com/");

static Rule rule(const QString &type, const QString &value, const QString &main = kGlobalScope,
                 const QString &remote = kGlobalScope)
{
    return Rule{main, remote, type, value};
}

class TestScanParts : public QObject
{
    Q_OBJECT
private slots:
    void rules_data()
    {
        QTest::addColumn<QList<Rule>>("rules");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("passes");
        const QList<Rule> limitLinks{rule(RuleType::LimitDirectory, "links")};
        QTest::newRow("limit dir inside") << limitLinks << "partner.com/links/page.htm" << true;
        QTest::newRow("limit dir any case") << limitLinks << "partner.com/a/LINKS/b.htm" << true;
        QTest::newRow("limit dir not a prefix") << limitLinks << "partner.com/linkspage.htm" << false;
        QTest::newRow("limit dir slashes collapse")
            << QList<Rule>{rule(RuleType::LimitDirectory, "/links/")} << "partner.com/linkspage.htm" << false;
        QTest::newRow("exclude string empty rejects all")
            << QList<Rule>{rule(RuleType::ExcludeString, "")} << "partner.com/x" << false;
        QTest::newRow("limit string empty rejects none")
            << QList<Rule>{rule(RuleType::LimitString, "")} << "partner.com/x" << true;
        QTest::newRow("exclude dir empty rejects all")
            << QList<Rule>{rule(RuleType::ExcludeDirectory, "")} << "partner.com/x" << false;
        QTest::newRow("roots are strings") << QList<Rule>{rule(RuleType::ExcludeRoot, "SHOP")} << "partner.com/shop/a" << false;
        QTest::newRow("unknown type ignored") << QList<Rule>{rule("Nonsense", "")} << "partner.com/x" << true;
        QTest::newRow("main-site rule applies by exact text")
            << QList<Rule>{rule(RuleType::ExcludeString, "x", M)} << "partner.com/x" << false;
        QTest::newRow("main-site rule in other case does not apply")
            << QList<Rule>{rule(RuleType::ExcludeString, "x", "WWW.mysite.com")} << "partner.com/x" << true;
        QTest::newRow("linking-site rule for another site")
            << QList<Rule>{rule(RuleType::ExcludeString, "x", M, "other.com/")} << "partner.com/x" << true;
        QTest::newRow("global main, this linking site")
            << QList<Rule>{rule(RuleType::ExcludeString, "x", kGlobalScope, L)} << "partner.com/x" << false;
    }
    void rules()
    {
        QFETCH(QList<Rule>, rules);
        QFETCH(QString, url);
        QFETCH(bool, passes);
        QCOMPARE(checkRules(url, rules, M, L).passed, passes);
    }

    void onlyTheFirstRejectingRuleIsLogged()
    {
        TestEnv env;
        const QList<Rule> rules{rule(RuleType::LimitString, "a"), rule(RuleType::ExcludeString, "zz"),
                                rule(RuleType::ExcludeDirectory, "zz")};
        QVERIFY(!passesRules("partner.com/a/zz/", rules, M, L, true));
        QVERIFY(passesRules("partner.com/a/", rules, M, L, true));
        QVERIFY(!passesRules("other.org/b", rules, M, L, false)); // rejected, not logged
        QCOMPARE(env.readFile("rules.log"),
                 QByteArray("Excluded Site: partner.com/a/zz/\r\nRule Type: ExcludeString\r\nRule Value: zz\r\n\r\n\r\n"));
    }

    void linksExpectedText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("value");
        QTest::newRow("+2") << "+2" << qint64(2);
        QTest::newRow(" 2") << " 2" << qint64(2);
        QTest::newRow("007") << "007" << qint64(7);
        QTest::newRow("-1") << "-1" << qint64(-1);
        QTest::newRow("70000") << "70000" << qint64(70000);
        QTest::newRow("2.5") << "2.5" << qint64(1);
        QTest::newRow("2x") << "2x" << qint64(1);
        QTest::newRow("empty") << "" << qint64(1);
        QTest::newRow("1_0") << "1_0" << qint64(1);
        QTest::newRow("beyond 32 bits") << "4294967296" << qint64(1);
    }
    void linksExpectedText()
    {
        QFETCH(QString, text);
        QFETCH(qint64, value);
        QCOMPARE(linksExpectedFromText(text), value);
    }

    // What one reader makes of a text, as notes: "rel" the anchor's tag
    // around its "href=", "meta" a page, "head" a response head.
    void linkNoteReaders_data()
    {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("notes");
        QTest::newRow("rel after href") << "rel" << "<a href=\"x\" rel=\"nofollow\">" << "nofollow";
        QTest::newRow("rel before href, any case") << "rel" << "<A REL=\"NoFollow\" HREF=\"x\">" << "nofollow";
        QTest::newRow("several tokens in page order, spaces and tabs")
            << "rel" << "<a rel=\"ugc\t sponsored  nofollow noopener\" href=x>" << "nofollow, sponsored, ugc";
        QTest::newRow("unquoted, ends at the >") << "rel" << "<a href=x rel=sponsored>" << "sponsored";
        QTest::newRow("apostrophes, a quoted > before") << "rel" << "<a title='a>b' rel='ugc' href=x>" << "ugc";
        QTest::newRow("the first rel counts") << "rel" << "<a rel=\"ugc\" rel=\"nofollow\" href=x>" << "ugc";
        QTest::newRow("a word that only contains nofollow") << "rel" << "<a rel=\"nofollowme\" href=x>" << "";
        QTest::newRow("rel of the tag before") << "rel" << "<p rel=\"nofollow\">see href=x" << "";
        QTest::newRow("a tag without its >") << "rel" << "<a rel=nofollow href=\"x" << "nofollow";
        QTest::newRow("meta robots") << "meta" << "<meta name=\"robots\" content=\"noindex,follow\">" << "noindex page";
        QTest::newRow("meta googlebot none, content first")
            << "meta" << "<META content=\"NONE\" name=googlebot>" << "noindex page, nofollow page";
        QTest::newRow("meta of another crawler") << "meta" << "<meta name=\"bingbot\" content=\"noindex\">" << "";
        QTest::newRow("meta description saying noindex")
            << "meta" << "<meta name=\"description\" content=\"noindex nofollow\">" << "";
        QTest::newRow("two metas add up")
            << "meta" << "<meta name=robots content=nofollow><meta name=\"ROBOTS\" content=\"noindex\">"
            << "noindex page, nofollow page";
        QTest::newRow("header, any case") << "head" << "HTTP/1.1 200 OK\r\nx-robots-tag: NoIndex\r\n\r\n"
                                          << "noindex page";
        QTest::newRow("header for googlebot, another's passed over")
            << "head" << "HTTP/1.1 200 OK\r\nX-Robots-Tag: otherbot: noindex\r\nX-Robots-Tag: googlebot: nofollow\r\n\r\n"
            << "nofollow page";
        QTest::newRow("header with a dated directive")
            << "head" << "HTTP/1.1 200 OK\r\nX-Robots-Tag: unavailable_after: 25 Jun 2010 15:00:00 PST\r\n\r\n" << "";
        QTest::newRow("header list with none") << "head" << "HTTP/1.1 200 OK\r\nX-Robots-Tag: noarchive, none\r\n\r\n"
                                               << "noindex page, nofollow page";
        QTest::newRow("other headers") << "head" << "HTTP/1.1 200 OK\r\nX-Note: noindex\r\n\r\n" << "";
    }
    void linkNoteReaders()
    {
        QFETCH(QString, reader);
        QFETCH(QString, input);
        QFETCH(QString, notes);
        LinkNotes::Flags flags = LinkNotes::None;
        if (reader == QLatin1String("rel")) {
            const HtmlTag::Tag tag = HtmlTag::around(input, input.indexOf(QLatin1String("href="), 0, Qt::CaseInsensitive));
            if (tag.isValid())
                flags = LinkNotes::relFlags(QStringView(input).mid(tag.start, tag.end - tag.start));
        } else if (reader == QLatin1String("meta")) {
            flags = PageRobots::fromMeta(input);
        } else {
            flags = PageRobots::fromHead(input.toLatin1());
        }
        QCOMPARE(LinkNotes::text(flags), notes);
    }

    void notesTextOrder()
    {
        QCOMPARE(LinkNotes::text(LinkNotes::None), QString());
        QCOMPARE(LinkNotes::text(~0u), QStringLiteral("nofollow, sponsored, ugc, noindex page, nofollow page, "
                                                      "blocked by robots.txt"));
    }

    // robots.txt for all crawlers: the file, a path, whether it may be read.
    void robotsTxt_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("allowed");
        const QByteArray basic = "User-agent: *\nDisallow: /private/\nAllow: /private/open\n";
        QTest::newRow("no rule matches") << basic << "/public/a.html" << true;
        QTest::newRow("disallowed") << basic << "/private/a.html" << false;
        QTest::newRow("a longer allow wins") << basic << "/private/open.html" << true;
        QTest::newRow("the same length: allow wins")
            << QByteArray("User-agent: *\nDisallow: /a\nAllow: /a\n") << "/a/b" << true;
        QTest::newRow("a longer disallow wins")
            << QByteArray("User-agent: *\nAllow: /a\nDisallow: /a/b\n") << "/a/b/c" << false;
        QTest::newRow("another crawler's group")
            << QByteArray("User-agent: otherbot\nDisallow: /\n") << "/a" << true;
        QTest::newRow("groups for all are merged, keys in any case, comments")
            << QByteArray("user-agent: *\nDISALLOW: /a # old\n\nUser-agent: otherbot\nAllow: /\n\n"
                          "User-Agent: *\ndisallow: /b\n")
            << "/b/c" << false;
        QTest::newRow("agents gathered before their rules")
            << QByteArray("User-agent: otherbot\nUser-agent: *\nDisallow: /x\n") << "/x" << false;
        QTest::newRow("a rule ends the agent list")
            << QByteArray("User-agent: *\nAllow: /y\nUser-agent: otherbot\nDisallow: /x\n") << "/x" << true;
        QTest::newRow("an empty disallow allows") << QByteArray("User-agent: *\nDisallow:\n") << "/x" << true;
        QTest::newRow("star") << QByteArray("User-agent: *\nDisallow: /*.php\n") << "/dir/page.php?x=1" << false;
        QTest::newRow("dollar ends the path")
            << QByteArray("User-agent: *\nDisallow: /*.php$\n") << "/dir/page.php?x=1" << true;
        QTest::newRow("dollar matches the end") << QByteArray("User-agent: *\nDisallow: /*.php$\n") << "/a.php" << false;
        QTest::newRow("star and dollar, the tail later in the path")
            << QByteArray("User-agent: *\nDisallow: /*b$\n") << "/ab/xb" << false;
        QTest::newRow("stars in a row") << QByteArray("User-agent: *\nDisallow: /a**c\n") << "/abbbc" << false;
        QTest::newRow("escapes of unreserved characters decoded")
            << QByteArray("User-agent: *\nDisallow: /%7Ejoe/\n") << "/~joe/index.html" << false;
        QTest::newRow("escapes in either case")
            << QByteArray("User-agent: *\nDisallow: /a%2fb\n") << "/a%2Fb/c" << false;
        QTest::newRow("an escaped slash is no slash")
            << QByteArray("User-agent: *\nDisallow: /a/b\n") << "/a%2Fb" << true;
        QTest::newRow("UTF-8 in the file, escaped in the path")
            << QByteArray("User-agent: *\nDisallow: /f\xC3\xBCr\n") << "/f%C3%BCr/x" << false;
        QTest::newRow("CR line ends and a byte order mark")
            << QByteArray("\xEF\xBB\xBFUser-agent: *\rDisallow: /x\r") << "/x" << false;
        QTest::newRow("robots.txt itself is always allowed")
            << QByteArray("User-agent: *\nDisallow: /\n") << "/robots.txt" << true;
        QTest::newRow("rules before any group") << QByteArray("Disallow: /\n") << "/x" << true;
    }
    void robotsTxt()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, path);
        QFETCH(bool, allowed);
        QCOMPARE(RobotsTxt::parse(file).allows(path), allowed);
    }

    // A file of only wildcards, read against a long path, is answered at once.
    void robotsTxtWildcardsStayLinear()
    {
        QByteArray file = "User-agent: *\n";
        for (int i = 0; i < 200; ++i)
            file += "Disallow: /" + QByteArray(1000, '*').replace(500, 1, "a") + "b$\n";
        const RobotsTxt robots = RobotsTxt::parse(file);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(robots.allows(QLatin1Char('/') + QString(4000, QLatin1Char('a'))));
        QVERIFY(clock.elapsed() < 2000);
    }

    void threeDigitNumbers()
    {
        QCOMPARE(threeDigits(1), QStringLiteral("001"));
        QCOMPARE(threeDigits(42), QStringLiteral("042"));
        QCOMPARE(threeDigits(1234), QStringLiteral("1234"));
    }

    void anchorNormalisation()
    {
        QString t = QStringLiteral("a HREF=  'x'>b href=        c href=                 d href =e");
        normaliseAnchors(t);
        QCOMPARE(t, QStringLiteral("a \r\nhref='x'>b \r\nhref=c \r\nhref=d href =e"));
    }

    void cacheLinesEndAtCrLfOrCr()
    {
        const QString text = QStringLiteral("one\r\ntwo\rthree\nstill three\r\n\r\nlast");
        CacheLineReader reader(text);
        QStringList lines;
        QString line;
        while (reader.next(line))
            lines << line;
        QCOMPARE(lines, (QStringList{"one", "two", "three\nstill three", "", "last"}));
    }

    void unwritableCacheIsPassedOver()
    {
        PageCache::write(QStringLiteral("/nonexistent-folder/html0.txt"), QStringLiteral("/nonexistent-folder/html20.txt"),
                         QStringLiteral("text"));
        TestEnv env;
        PageCache::write(PageCache::cachePath(0), PageCache::strippedCachePath(0), QStringLiteral("a\r\nb\nc\rd"));
        QCOMPARE(env.readFile("html0.txt"), QByteArray("a\r\nb\nc\rd\r\n"));
        QCOMPARE(env.readFile("html20.txt"), QByteArray("abcd\r\n"));
    }

    // The fast search must find exactly what Qt's case-insensitive search finds.
    void fastSearchAgreesWithQt()
    {
        QString hay = QStringLiteral("xx HREF= href=\"a\" \u212Aelvin Ka \u017Fite SITE \u00C9t\u00E9 hRe");
        for (int c = 0xA0; c < 0x100; ++c)
            hay += QChar(c);
        const QStringList needles = {"href=", "href= ", "kelvin", "ka", "site", "\u00E9t\u00C9", "hre", "x", "zz", "\u00FF"};
        for (const QString &n : needles) {
            for (qsizetype from = 0; from < hay.size(); from += 7)
                QCOMPARE(TextSearch::indexOfNoCase(hay, n, from), hay.indexOf(n, from, Qt::CaseInsensitive));
            QString mine = hay;
            QString qts = hay;
            TextSearch::replaceNoCase(mine, n, u"<>");
            qts.replace(n, QStringLiteral("<>"), Qt::CaseInsensitive);
            QCOMPARE(mine, qts);
        }
    }

    // Random mixed-case texts: every start and every needle shape, including
    // needles whose first letter is rare in one case and common in the other.
    void fastSearchAgreesWithQtOnRandomTexts()
    {
        const QString alphabet = QStringLiteral("aAhHrReE=\" <>/.12\u212A\u017Fks");
        quint32 seed = 12345;
        auto next = [&seed] { seed = seed * 1103515245u + 12345u; return (seed >> 16) & 0x7fff; };
        for (int round = 0; round < 300; ++round) {
            QString hay;
            const int len = int(next() % 60);
            for (int i = 0; i < len; ++i)
                hay += alphabet.at(int(next() % alphabet.size()));
            QString needle;
            const int nlen = 1 + int(next() % 4);
            for (int i = 0; i < nlen; ++i)
                needle += QStringLiteral("ahre=<. ks").at(int(next() % 10));
            for (qsizetype from = 0; from <= hay.size(); ++from)
                QCOMPARE(TextSearch::indexOfNoCase(hay, needle, from), hay.indexOf(needle, from, Qt::CaseInsensitive));
        }
    }

    void queueKeepsOrderAndFindsIgnoringCase()
    {
        PageQueue q;
        q.append("Host/A.html");
        q.append("host/b.html");
        q.append("host/a.html");
        QVERIFY(q.containsNoCase("HOST/B.HTML"));
        QCOMPARE(q.popFront(), QStringLiteral("Host/A.html"));
        QVERIFY(q.containsNoCase("host/A.html")); // the other spelling is still queued
        QCOMPARE(q.popFront(), QStringLiteral("host/b.html"));
        QVERIFY(!q.containsNoCase("host/b.html"));
        QCOMPARE(q.entries(), QStringList{"host/a.html"});
        q.clear();
        QVERIFY(q.isEmpty());
        QCOMPARE(q.popFront(), QString());
    }
};

QTEST_GUILESS_MAIN(TestScanParts)
#include "tst_scanparts.moc"
