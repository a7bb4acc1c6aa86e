// The scan's text rules on their own: rules, the "#" number rule, anchor
// normalisation, cache lines, the page queue and the readers of link notes.
#include "scan/AnchorText.h"
#include "scan/HtmlTag.h"
#include "scan/LinkNotes.h"
#include "scan/MetaRefresh.h"
#include "scan/PageCache.h"
#include "scan/PageLinkNotes.h"
#include "scan/PageQueue.h"
#include "scan/PageRobots.h"
#include "scan/RobotsCache.h"
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
    // around its "href=", "meta" a page, "head" a response head, "page" the
    // link "href=me" of a page at http://partner.example/links/.
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
        QTest::newRow("character references in rel")
            << "rel" << "<a rel=\"no&#102;ollow spon&#X73;ored\" href=x>" << "nofollow, sponsored";
        QTest::newRow("meta robots in a comment")
            << "meta" << "<!-- <meta name=\"robots\" content=\"noindex\"> -->" << "";
        QTest::newRow("meta robots written by a script")
            << "meta" << "<script>document.write('<meta name=robots content=noindex>');</script>" << "";
        QTest::newRow("canonical header")
            << "head" << "HTTP/1.1 200 OK\r\nLink: </a.css>; rel=preload, <https://partner.example/>; rel=\"canonical\"\r\n\r\n"
            << "canonical elsewhere";
        QTest::newRow("canonical header naming the page")
            << "head" << "HTTP/1.1 200 OK\r\nlink: <//PARTNER.example:80/links>; REL=Canonical\r\n\r\n" << "";
        QTest::newRow("canonical elsewhere") << "page" << "<link rel=\"canonical\" href=\"https://partner.example/\"><a href=me>"
                                             << "canonical elsewhere";
        QTest::newRow("canonical naming the page but for scheme, host case, port, slash")
            << "page" << "<link href=\"HTTPS://Partner.Example:443/links\" rel=canonical><a href=me>" << "";
        QTest::newRow("canonical relative, with a query")
            << "page" << "<link rel=canonical href=\"?page=2\"><a href=me>" << "canonical elsewhere";
        QTest::newRow("canonicals that disagree count for none")
            << "page" << "<link rel=canonical href=/a><link rel=canonical href=/b><a href=me>" << "";
        QTest::newRow("canonical in a comment") << "page" << "<!--<link rel=canonical href=/a>--><a href=me>" << "";
        QTest::newRow("hidden: in a comment") << "page" << "<p><!-- old: <a href=me>x</a> --></p>" << "hidden";
        QTest::newRow("hidden: a comment never closed") << "page" << "<!-- <a href=me>x</a>" << "hidden";
        QTest::newRow("hidden: noscript") << "page" << "<noscript><p><a href=me>x</a></p></noscript>" << "hidden";
        QTest::newRow("hidden: template") << "page" << "<template><a href=me>x</a></template>" << "hidden";
        QTest::newRow("hidden: the hidden attribute around it")
            << "page" << "<div HIDDEN><ul><li><a href=me rel=nofollow>x</a></ul></div>" << "nofollow, hidden";
        QTest::newRow("hidden: display none in the anchor's own style")
            << "page" << "<a style=\"color:red; DISPLAY : None !important\" href=me>x</a>" << "hidden";
        QTest::newRow("hidden: visibility, through void elements and stray end tags")
            << "page" << "<span style='visibility:hidden'><img src=x><br></b><a href=me>x</a></span>" << "hidden";
        QTest::newRow("hidden: an end tag inside a script closes nothing")
            << "page" << "<div style=display:none><script>x='</div>'</script><a href=me>x</a>" << "hidden";
        QTest::newRow("shown: visible again inside")
            << "page" << "<div style=\"visibility:hidden\"><p style=\"visibility:visible\"><a href=me>x</a>" << "";
        QTest::newRow("shown: after the hidden element") << "page" << "<div hidden><div>x</div></div><a href=me>x</a>" << "";
        QTest::newRow("shown: a paragraph ends at the next")
            << "page" << "<p style=\"display:none\">old<p><a href=me>x</a>" << "";
        QTest::newRow("shown: hidden, but displayed by its own style")
            << "page" << "<div hidden style=\"display:block\"><a href=me>x</a></div>" << "";
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
        } else if (reader == QLatin1String("page")) {
            const QString url = QStringLiteral("http://partner.example/links/");
            flags = PageLinkNotes(input, {}, url).flagsOfLink(input, input.indexOf(QLatin1String("href=me")));
        } else {
            flags = PageLinkNotes(QString(), input.toLatin1(), QStringLiteral("partner.example/links/")).pageFlags();
        }
        QCOMPARE(LinkNotes::text(flags), notes);
    }

    void notesTextOrder()
    {
        QCOMPARE(LinkNotes::text(LinkNotes::None), QString());
        QCOMPARE(LinkNotes::text(~0u), QStringLiteral("JavaScript, nofollow, sponsored, ugc, hidden, noindex page, nofollow page, "
                                                      "canonical elsewhere, blocked by robots.txt, blocked for "
                                                      "Googlebot, robots.txt unreachable"));
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
        // The scan's paths hold the page's bytes one per character: a UTF-8
        // link is compared byte for byte, not encoded a second time.
        QTest::newRow("UTF-8 path as the page gave it")
            << QByteArray("User-agent: *\nDisallow: /caf\xC3\xA9/\n") << QString::fromLatin1("/caf\xC3\xA9/menu") << false;
        // A file cut at the size limit in the middle of "Disallow: /archive/"
        // keeps no "Disallow: /".
        const QByteArray head = "User-agent: *\n";
        const QByteArray cutLine = "Disallow: /archive/\n";
        const qsizetype filler = RobotsTxt::kMaxBytes - head.size() - 11; // "Disallow: /" ends at the limit
        QTest::newRow("a line cut at the size limit is dropped")
            << head + QByteArray(filler - 1, '#') + "\n" + cutLine << "/index.html" << true;
    }
    void robotsTxt()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, path);
        QFETCH(bool, allowed);
        QCOMPARE(RobotsTxt::parse(file).allows(path), allowed);
    }

    // The note a host's robots.txt answer gives a page: for all crawlers,
    // for Googlebot's own group, or none read.
    void robotsVerdict_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("notes");
        const QByteArray both = "User-agent: *\nDisallow: /private/\n\nUser-agent: Googlebot\nDisallow: /partners/\n";
        QTest::newRow("blocked for all") << 200 << both << "/private/a.html" << "blocked by robots.txt";
        QTest::newRow("blocked for Googlebot only") << 200 << both << "/partners/a.html" << "blocked for Googlebot";
        QTest::newRow("Googlebot's group replaces that of *") << 200 << both << "/other.html" << "";
        QTest::newRow("Googlebot's groups merged, named in any case and with a version")
            << 200 << QByteArray("User-agent: Googlebot\nDisallow: /a/\n\nUser-agent: *\nAllow: /\n\n"
                                 "User-agent: otherbot\nUser-agent: googlebot/2.1\nDisallow: /b/\n")
            << "/b/page.html" << "blocked for Googlebot";
        QTest::newRow("another of the company's crawlers")
            << 200 << QByteArray("User-agent: Googlebot-News\nDisallow: /\n") << "/a.html" << "";
        QTest::newRow("no file") << 404 << both << "/private/a.html" << "";
        QTest::newRow("server error") << 503 << both << "/a.html" << "robots.txt unreachable";
        QTest::newRow("no answer") << 0 << QByteArray() << "/a.html" << "robots.txt unreachable";
    }
    void robotsVerdict()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, file);
        QFETCH(QString, path);
        QFETCH(QString, notes);
        RobotsCache cache;
        cache.setFetch([&](const QString &) { return RobotsCache::Answer{status, file}; });
        const QString key = cache.request(QStringLiteral("partner.example"), false);
        QCOMPARE(LinkNotes::text(cache.notes(key, path)), notes);
    }

    // The words of the link "href=me".
    void anchorText_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "<p>See <a href=me>Best blue widgets</a>.</p>" << "Best blue widgets";
        QTest::newRow("tags, references and white space")
            << "<a title=x href=me>\n  Best&nbsp;<b>blue</b>\t<i>wid</i>gets &amp;&#32;more&hellip; </a>"
            << "Best blue widgets & more\u2026";
        QTest::newRow("line breaks and blocks part words") << "<a href=me>one<br>two<div>three</div></a>" << "one two three";
        QTest::newRow("comments and scripts say nothing")
            << "<a href=me>one<!-- two --><script>document.write('three')</script> four</a>" << "one four";
        QTest::newRow("an image's alt when there is no text")
            << "<a href=me> <img src=a.png><img src=logo.png alt=\" Blue &amp; co \"></a>" << "Blue & co";
        QTest::newRow("text wins over alt") << "<a href=me><img alt=logo>Widgets</a>" << "Widgets";
        QTest::newRow("UTF-8 page") << QString::fromLatin1("<a href=me>Caf\xC3\xA9 cr\xC3\xA8me</a>") << "Caf\u00E9 cr\u00E8me";
        QTest::newRow("Western page") << QString::fromLatin1("<a href=me>\x93" "Caf\xE9\x94</a>") << "\u201CCaf\u00E9\u201D";
        QTest::newRow("an anchor never closed ends at the next")
            << "<a href=me>first <a href=other>second</a>" << "first";
        QTest::newRow("an area gives its alt") << "<map><area shape=rect alt='Our partner' href=me></map>" << "Our partner";
        QTest::newRow("at most 200 characters")
            << "<a href=me>" + QString(150, QLatin1Char('a')) + " " + QString(150, QLatin1Char('b')) + "</a>"
            << QString(150, QLatin1Char('a')) + " " + QString(49, QLatin1Char('b'));
        QTest::newRow("not an anchor") << "<link href=me rel=stylesheet>" << "";
    }
    void anchorText()
    {
        QFETCH(QString, page);
        QFETCH(QString, text);
        QCOMPARE(AnchorText::of(page, page.indexOf(QLatin1String("href=me"))), text);
    }

    // Where a <meta http-equiv="refresh"> sends a browser on to, soon enough
    // to make the page a redirect page.
    void metaRefresh_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("target");
        QTest::newRow("as partners write it")
            << "<meta http-equiv=\"refresh\" content=\"0; url=/links/new.html\">" << "/links/new.html";
        QTest::newRow("any case, quotes inside")
            << "<META HTTP-EQUIV=Refresh CONTENT=\"5;URL='new.html'\">" << "new.html";
        QTest::newRow("spaces, a comma, a fraction")
            << "<meta content=\" 1.5 ,  url = http://x.example/a b \" http-equiv=\" refresh\">" << "http://x.example/a b";
        QTest::newRow("no url=") << "<meta http-equiv=refresh content='0;/direct.html'>" << "/direct.html";
        QTest::newRow("ten seconds") << "<meta http-equiv=refresh content='10; url=a.html'>" << "a.html";
        QTest::newRow("eleven seconds") << "<meta http-equiv=refresh content='11; url=a.html'>" << "";
        QTest::newRow("a delay beyond any number")
            << "<meta http-equiv=refresh content='99999999999999999999999; url=a.html'>" << "";
        QTest::newRow("a reload of the page itself") << "<meta http-equiv=refresh content='0'>" << "";
        QTest::newRow("an unreadable value is passed over")
            << "<meta http-equiv=refresh content='soon'><meta http-equiv=refresh content='2;url=b.html'>" << "b.html";
        QTest::newRow("in a comment, a script, a noscript")
            << "<!--<meta http-equiv=refresh content='0;url=a'>--><script>'<meta http-equiv=refresh content=\"0;url=b\">'"
               "</script><noscript><meta http-equiv=refresh content='0;url=c'></noscript>"
            << "";
    }
    void metaRefresh()
    {
        QFETCH(QString, page);
        QFETCH(QString, target);
        QCOMPARE(MetaRefresh::target(page), target);
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
