#include "model/Project.h"
#include "outputs/Posting.h"
#include "outputs/PostingHelp.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"

#include <QtTest>

namespace {

LinkResult row(const QString &main, const QString &remote, const QString &status, const QString &url)
{
    LinkResult r;
    r.mainSite = main;
    r.remoteSite = remote;
    r.status = status;
    r.number = QStringLiteral("001");
    r.url = url;
    return r;
}

struct Recorder
{
    QStringList statuses;
    QString log;
    PostingRun run(PostingMode mode, const QString &templateUrl)
    {
        PostingRun r;
        r.mode = mode;
        r.oneUrlTemplate = templateUrl;
        r.showStatus = [this](const QString &s) { statuses << s; };
        r.appendLog = [this](const QString &s) { log += s; };
        return r;
    }
};

} // namespace

class TestPosting : public QObject
{
    Q_OBJECT
private slots:
    // One request per row, the exact paths, the status texts and the log.
    void oneUrlForEveryRow()
    {
        TestEnv env;
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setResponder([](const RecordingHttpServer::Request &req) {
            RecordingHttpServer::Response r;
            if (req.target.contains("remote=partner.com&"))
                r.body = "stored\r\nline two";
            return r;
        });

        Project p;
        p.appendResult(row("mine.com", "partner.com", "Direct Link", "partner.com/links.htm"));
        p.appendResult(row("mine.com", "slow.net", "None Found (Timeout)", "slow.net/"));
        p.appendResult(row("mine.com", "dom.org", "Domain Link", "dom.org/x/"));
        p.appendResult(row("mine.com", "redir.com", "Redirect Link", "redir.com/go"));
        p.appendResult(row("mine.com", "short.com", "Missing 002", "short.com/"));
        p.appendResult(row("my site.com", "space.com/my page", "Indirect Link", "http://space.com/links page.htm"));

        const QString base = server.baseUrl();
        const QString templ = base + "/getlinks.php?site=$MainSite&remote=$LinkingSite&ok=$Status&on=$FoundOn";
        Recorder rec;
        QCOMPARE(postResults(p, rec.run(PostingMode::OneUrl, templ)), PostingOutcome::Posted);
        QVERIFY(!postingInProgress());

        const QList<QByteArray> expected = {
            "/getlinks.php?site=mine.com&remote=partner.com&ok=True&on=partner.com%2Flinks.htm",
            "/getlinks.php?site=mine.com&remote=slow.net&ok=False&on=slow.net%2F",
            "/getlinks.php?site=mine.com&remote=dom.org&ok=False&on=dom.org%2Fx%2F",
            "/getlinks.php?site=mine.com&remote=redir.com&ok=True&on=redir.com%2Fgo",
            "/getlinks.php?site=my+site.com&remote=space.com%2Fmy+page&ok=True&on=http://space.com%2Flinks+page.htm",
        };
        QCOMPARE(server.targets(), expected);
        QCOMPARE(rec.statuses, (QStringList{"Sending Site 1: partner.com", "Sending Site 2: slow.net",
                                            "Sending Site 3: dom.org", "Sending Site 4: redir.com",
                                            "Sending Site 6: space.com%2Fmy+page"}));

        QString log;
        for (const QByteArray &target : expected)
            log += "\r\nURL: " + base + QString::fromLatin1(target) + "\r\n";
        log.replace("partner.com%2Flinks.htm\r\n", "partner.com%2Flinks.htm\r\n\r\nReturned: stored\r\nline two\r\n");
        QCOMPARE(rec.log, log);
    }

    // Variable names in any case; a template without scheme is logged as fetched.
    void templateForms()
    {
        TestEnv env;
        RecordingHttpServer server;
        QVERIFY(server.listen());
        Project p;
        LinkResult noted = row("mine.com", "partner.com", "Direct Link", "partner.com/");
        noted.notes = QStringLiteral("nofollow, ugc");
        noted.anchor = QStringLiteral("Blue & caf\u00E9");
        p.appendResult(noted);

        Recorder rec;
        const QString bare =
            QStringLiteral("127.0.0.1:%1/s?a=$mainsite&b=$LINKINGSITE&c=$sTaTuS&d=$foundon&e=$NOTES&f=$Anchor")
                .arg(server.port());
        QCOMPARE(postResults(p, rec.run(PostingMode::OneUrl, bare)), PostingOutcome::Posted);
        const QByteArray query = "a=mine.com&b=partner.com&c=True&d=partner.com%2F&e=nofollow%2C+ugc&f=Blue+%26+caf%E9";
        QCOMPARE(server.targets(), QList<QByteArray>{"/s?" + query});
        QCOMPARE(rec.log, "\r\nURL: http://" + bare.left(bare.indexOf('?')) + "?" + QString::fromLatin1(query) + "\r\n");

        // The template left at "http://": every row is still tried, only its URL is logged.
        Recorder untouched;
        postResults(p, untouched.run(PostingMode::OneUrl, QStringLiteral("http://")));
        QCOMPARE(untouched.log, QStringLiteral("\r\nURL: http://\r\n"));
        QCOMPARE(server.requests().size(), 1);
    }

    // A URL per Main Site: rows without a usable target are skipped.
    void perMainSite()
    {
        TestEnv env;
        RecordingHttpServer server;
        QVERIFY(server.listen());
        Project p;
        p.addScriptTarget({QStringLiteral(" mine.com "), server.baseUrl() + "/mine?s=$Status&r=$LinkingSite"});
        p.addScriptTarget({QStringLiteral("blank.com"), QStringLiteral(" ")});
        p.addScriptTarget({QStringLiteral("www.prefixed.com"), server.baseUrl() + "/never"});
        p.addScriptTarget({QStringLiteral("mine.com"), server.baseUrl() + "/second-target-unused"});
        p.appendResult(row("other.com", "a.com", "Direct Link", "a.com/"));
        p.appendResult(row("mine.com", "b.com", "None Found", "b.com/"));
        p.appendResult(row("blank.com", "c.com", "Direct Link", "c.com/"));
        p.appendResult(row("prefixed.com", "d.com", "Direct Link", "d.com/"));
        p.appendResult(row("mine.com", "e.com", "Redirect Link", "e.com/"));

        Recorder rec;
        QCOMPARE(postResults(p, rec.run(PostingMode::PerMainSite, QStringLiteral("ignored"))), PostingOutcome::Posted);
        QCOMPARE(server.targets(), (QList<QByteArray>{"/mine?s=False&r=b.com", "/mine?s=True&r=e.com"}));
        QCOMPARE(rec.statuses, (QStringList{"Sending Site 2: b.com", "Sending Site 5: e.com"}));
    }

    void noResults()
    {
        TestEnv env;
        Project p;
        Recorder rec;
        QCOMPARE(postResults(p, rec.run(PostingMode::OneUrl, QStringLiteral("http://127.0.0.1:1/"))),
                 PostingOutcome::NoResults);
        QCOMPARE(rec.statuses, QStringList{kNoResultsToPost});
        QCOMPARE(rec.log, QString());
    }

    // "Post Links Now" pressed again while the first run waits for the script.
    void secondRunWhileRunningDoesNothing()
    {
        TestEnv env;
        RecordingHttpServer server;
        QVERIFY(server.listen());
        Project p;
        p.appendResult(row("mine.com", "a.com", "Direct Link", "a.com/"));
        p.appendResult(row("mine.com", "b.com", "Direct Link", "b.com/"));
        Recorder rec;
        const PostingRun run = rec.run(PostingMode::OneUrl, server.baseUrl() + "/p?r=$LinkingSite");
        QList<PostingOutcome> nested;
        server.setResponder([&](const RecordingHttpServer::Request &) {
            nested << postResults(p, run);
            // A scan appending a row meanwhile does not join this run.
            p.appendResult(row("mine.com", "late.com", "Direct Link", "late.com/"));
            return RecordingHttpServer::Response();
        });
        QCOMPARE(postResults(p, run), PostingOutcome::Posted);
        QCOMPARE(server.targets(), (QList<QByteArray>{"/p?r=a.com", "/p?r=b.com"}));
        QCOMPARE(nested, (QList<PostingOutcome>{PostingOutcome::AlreadyRunning, PostingOutcome::AlreadyRunning}));
    }

    void modeFromSettings()
    {
        TestEnv env;
        QCOMPARE(postingModeFromSettings(), PostingMode::OneUrl);
        SettingsStore::instance().write(Keys::optScript, QStringLiteral("1"));
        QCOMPARE(postingModeFromSettings(), PostingMode::PerMainSite);
    }

    void helpTexts()
    {
        const QString crlf = QStringLiteral("\r\n");
        const HelpText mainVars = urlVariablesHelp(PostingWindow::Main);
        const HelpText importVars = urlVariablesHelp(PostingWindow::Import);
        QCOMPARE(importVars.title, QStringLiteral("URL Variables"));
        QCOMPARE(mainVars.title, "URL Variables" + crlf + crlf
                                     + "These values will be URL Encoded in order to keep the integrity of the posting link.");
        QCOMPARE(mainVars.text, importVars.text);
        QVERIFY(mainVars.text.endsWith("$Status - Inserts 'True' if a reciprocal link was found, otherwise inserts 'False'"
                                       + crlf + "$FoundOn - Inserts the Domain/URL of the page a reciprocal link was found on"
                                       + crlf + "$Notes - Inserts the link notes of the item, such as 'nofollow, noindex page', "
                                       + "or nothing when the link passes its value" + crlf
                                       + "$Anchor - Inserts the words of the link, such as 'Best blue widgets', or "
                                       + "nothing when none were recorded" + crlf + crlf));

        const QString fixedEnd =
            "http://scripts.my-main-site.example/getlinks.asp?mySite=my-main-site.example&&myURL=partner-site.example"
            "&&myStatus=True&&myLinkPage=partner-site.example/links.htm" + crlf + crlf;

        HelpText h = urlExampleHelp(PostingWindow::Main, QStringLiteral("http://"));
        QVERIFY(h.title.startsWith("URL Example" + crlf + crlf + "By creating a script enabled page"));
        QVERIFY(h.text.contains("Main Site: my-main-site.example" + crlf + "Linking Site: partner-site.example" + crlf
                                + "Status: Direct Link" + crlf + "Actual Link URL: partner-site.example/links.htm"
                                + crlf + crlf));
        QVERIFY(h.text.endsWith(fixedEnd + "Enter a test URL in the first \"Script URL\" field and click this "
                                           "button again to see it's variables replaced."));

        h = urlExampleHelp(PostingWindow::Main, QStringLiteral("http://s.example/g.php?a=$MAINSITE&b=$status&c=$FoundOn"));
        QVERIFY(h.text.endsWith(fixedEnd + "If the same site existed in your results list, the URL you entered" + crlf
                                + crlf + "http://s.example/g.php?a=$MAINSITE&&b=$status&&c=$FoundOn" + crlf
                                + "would become" + crlf + crlf + "http://s.example/g.php?" + crlf
                                + "a=my-main-site.example&&" + crlf + "b=True&&" + crlf
                                + "c=partner-site.example/links.htm" + crlf + crlf
                                + "After replacing all variables in your URL."));

        h = urlExampleHelp(PostingWindow::Import, QStringLiteral("http://s.example/g.php?a=$MainSite&b=$LinkingSite"));
        QCOMPARE(h.title, QStringLiteral("URL Example"));
        QVERIFY(h.text.endsWith(fixedEnd + "If the same site existed in your results list, the URL you entered" + crlf
                                + crlf + "http://s.example/g.php?a=$MainSite&b=$LinkingSite" + crlf + "would become"
                                + crlf + "http://s.example/g.php?a=my-main-site.example&b=partner-site.example"
                                + crlf + crlf + "After replacing all variables in your URL."));
        h = urlExampleHelp(PostingWindow::Import, QString());
        QVERIFY(h.text.endsWith(fixedEnd + "Enter a test URL and click this button again to see it's variables replaced."));
    }
};

QTEST_GUILESS_MAIN(TestPosting)
#include "tst_posting.moc"
