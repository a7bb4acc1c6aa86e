#include "model/Project.h"
#include "outputs/LinkPageBuilder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/TestEnv.h"

#include <QtTest>

namespace {

LinkResult row(const QString &main, const QString &remote, const QString &status, const QString &url = {})
{
    LinkResult r;
    r.mainSite = main;
    r.remoteSite = remote;
    r.status = status;
    r.number = QStringLiteral("001");
    r.url = url.isEmpty() ? remote + "/links.htm" : url;
    return r;
}

LinkingSite site(const QString &url, const QString &link = {}, const QString &text = {},
                 const QString &description = {})
{
    LinkingSite s;
    s.url = url;
    s.linkPageUrl = link;
    s.linkPageText = text;
    s.description = description;
    return s;
}

LinkPageOptions options(bool newWindow, bool bullets)
{
    LinkPageOptions o;
    o.newWindow = newWindow;
    o.bullets = bullets;
    return o;
}

} // namespace

class TestLinkPage : public QObject
{
    Q_OBJECT
private slots:
    void noResultsChangesNothing()
    {
        Project p;
        p.addMainSite(QStringLiteral("mine.com"));
        p.setPageText(Project::PageText::Links, QStringLiteral("kept"));
        const GeneratedLinks g = generateLinksHtml(p, options(true, true));
        QVERIFY(!g.hadResults);
        QVERIFY(!generateLinks(p, options(true, true)));
        QCOMPARE(p.htmlLinks(), QStringLiteral("kept"));
    }

    // One anchor per Linking Site from its first qualifying row; the Linking
    // Site's own columns when its url is exactly the Remote text, the host
    // otherwise; the new-window and bullet forms.
    void anchorsAndLookups()
    {
        Project p;
        const int m = p.addMainSite(QStringLiteral("mine.com"));
        p.appendLinkingSite(m, site("filled.com", "https://filled.com/about", "Filled Site", "Good partner"));
        p.appendLinkingSite(m, site("www.prefixed.com", "prefixed.com/x", "Prefixed", "never used"));
        p.appendLinkingSite(m, site("space.net", "", "", " "));
        p.appendLinkingSite(m, site("pathsite.com/links/", "pathsite.com/links/", "Path", "never used"));
        p.appendLinkingSite(m, site("later.org", "", "", ""));
        p.appendLinkingSite(m, site("later.org", "later.org/partners", "Later", "second row wins"));
        p.appendResult(row("mine.com", "filled.com", "Direct Link"));
        p.appendResult(row("mine.com", "filled.com", "Direct Link"));
        p.appendResult(row("mine.com", "filled.com", "Missing 001"));
        p.appendResult(row("mine.com", "domain.com", "Domain Link"));
        p.appendResult(row("mine.com", "gone.com", "None Found (Timeout)"));
        p.appendResult(row("mine.com", "prefixed.com", "Redirect Link"));
        p.appendResult(row("mine.com", "space.net", "Indirect Link"));
        p.appendResult(row("mine.com", "pathsite.com", "Direct Link"));
        p.appendResult(row("mine.com", "later.org", "direct link"));

        QCOMPARE(generateLinksHtml(p, options(false, false)).html,
                 QStringLiteral("<a href=\"http://https://filled.com/about\">Filled Site</a><BR>Good partner<br><br>\r\n"
                                "<a href=\"http://prefixed.com\">prefixed.com</a><br><br>\r\n"
                                "<a href=\"http://space.net\">space.net</a><br><br>\r\n"
                                "<a href=\"http://pathsite.com\">pathsite.com</a><br><br>\r\n"
                                "<a href=\"http://later.org/partners\">Later</a><BR>second row wins<br><br>\r\n"));

        QVERIFY(generateLinks(p, options(true, true)));
        QCOMPARE(p.htmlLinks(),
                 QStringLiteral("<li><a href=\"http://https://filled.com/about\" target=\"_blank\">Filled Site</a><BR>Good partner</li><br><br>\r\n"
                                "<li><a href=\"http://prefixed.com\" target=\"_blank\">prefixed.com</a></li><br><br>\r\n"
                                "<li><a href=\"http://space.net\" target=\"_blank\">space.net</a></li><br><br>\r\n"
                                "<li><a href=\"http://pathsite.com\" target=\"_blank\">pathsite.com</a></li><br><br>\r\n"
                                "<li><a href=\"http://later.org/partners\" target=\"_blank\">Later</a><BR>second row wins</li><br><br>\r\n"));
    }

    // Rows of a Main Site no longer in the project search the first Main
    // Site's Linking Sites; the chooser picks rows by exact text.
    void mainSiteFallbackAndChooser()
    {
        Project p;
        const int first = p.addMainSite(QStringLiteral("first.com"));
        const int second = p.addMainSite(QStringLiteral(" second.com "));
        p.appendLinkingSite(first, site("a.com", "a.com/from-first", "A first"));
        p.appendLinkingSite(second, site("a.com", "a.com/from-second", "A second"));
        p.appendLinkingSite(second, site("b.com", "HTTP://b.com/b", "B"));
        p.appendResult(row("removed.com", "a.com", "Direct Link"));
        p.appendResult(row("second.com", "b.com", "Direct Link"));
        p.appendResult(row("second.com", "a.com", "Direct Link"));

        QCOMPARE(generateLinksHtml(p, options(false, false)).html,
                 QStringLiteral("<a href=\"http://a.com/from-first\">A first</a><br><br>\r\n"
                                "<a href=\"HTTP://b.com/b\">B</a><br><br>\r\n"));

        LinkPageOptions chosen = options(false, false);
        chosen.allMainSites = false;
        chosen.chosenMainSite = QStringLiteral("second.com");
        QCOMPARE(generateLinksHtml(p, chosen).html,
                 QStringLiteral("<a href=\"HTTP://b.com/b\">B</a><br><br>\r\n"
                                "<a href=\"http://a.com/from-second\">A second</a><br><br>\r\n"));

        chosen.chosenMainSite = QStringLiteral("www.second.com");
        const GeneratedLinks none = generateLinksHtml(p, chosen);
        QVERIFY(none.hadResults);
        QCOMPARE(none.html, QString());
        QVERIFY(generateLinks(p, chosen));
        QCOMPARE(p.htmlLinks(), QString());
    }

    void flagsFromSettings()
    {
        TestEnv env;
        LinkPageOptions o = LinkPageOptions::fromSettings();
        QVERIFY(o.newWindow);
        QVERIFY(!o.bullets);
        QVERIFY(o.allMainSites);
        SettingsStore::instance().write(Keys::chkNewWin, QStringLiteral("0"));
        SettingsStore::instance().write(Keys::chkBullet, QStringLiteral("1"));
        o = LinkPageOptions::fromSettings();
        QVERIFY(!o.newWindow);
        QVERIFY(o.bullets);
    }

    void pageTextAndSave()
    {
        TestEnv env;
        Project p;
        p.setPageText(Project::PageText::Before, QStringLiteral("<html><body><ul>"));
        p.setPageText(Project::PageText::Links, QString::fromLatin1("<li>caf\xe9</li><br><br>\r\n"));
        p.setPageText(Project::PageText::After, QStringLiteral("</ul></body></html>"));
        const QString page = linkPageText(p);
        QCOMPARE(page, QString::fromLatin1("<html><body><ul>\r\n\r\n<li>caf\xe9</li><br><br>\r\n\r\n\r\n</ul></body></html>"));

        // An existing longer file is replaced whole; no extension is added.
        env.writeFile(QStringLiteral("links"), QByteArray(5000, 'z'));
        QVERIFY(saveLinkPage(env.path(QStringLiteral("links")), page));
        QCOMPARE(env.readFile(QStringLiteral("links")), page.toLatin1() + "\r\n");
        QVERIFY(!QFile::exists(env.path(QStringLiteral("links.htm"))));

        QVERIFY(!saveLinkPage(QString(), page));
        FileFailure failure;
        QVERIFY(!saveLinkPage(env.path(QStringLiteral("missing/dir/links.htm")), page, &failure));
        QVERIFY(failure.number != 0);
    }
};

QTEST_GUILESS_MAIN(TestLinkPage)
#include "tst_linkpage.moc"
