#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/ProjectStorage.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

static QByteArray crlf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += l.toLatin1() + "\r\n";
    return out;
}

static void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A small project with every kind of line.
static void fill(Project &p)
{
    const int a = p.addMainSite("http://www.mysite.com/");
    LinkingSite s1{"partner.org/links.htm", "2", "http://partner.org/", "Partner", "A good partner", RowColour::Blue};
    LinkingSite s2{"other.net", "1", "", "", "", RowColour::Default};
    p.appendLinkingSite(a, s1);
    p.appendLinkingSite(a, s2);
    p.addMainSite("second.com");
    p.setPageText(Project::PageText::Before, "<html>\r\n<body>");
    p.setPageText(Project::PageText::Links, "");
    p.setPageText(Project::PageText::After, "</body>\n</html>");
    p.appendResult(LinkResult{2, "mysite.com/", "partner.org", "Direct Link", "001", "partner.org/links.htm", RowColour::Blue});
    p.appendRule(Rule{"http://www.mysite.com/", "Global", "ExcludeString", "cgi-bin"});
    p.setScriptUrl("http://mysite.com/post.php?s=$Status");
    p.addScriptTarget(ScriptTarget{"mysite.com/", "http://mysite.com/a.php"});
}

class TestProjectFile : public QObject
{
    Q_OBJECT
private slots:
    void writesTheExactBytes()
    {
        TestEnv env;
        Project p;
        fill(p);
        const QByteArray expected = crlf({
            "http://www.mysite.com/",
            "partner.org/links.htm|2|http://partner.org/|Partner|A good partner",
            "other.net|1|||",
            "NEXTSITE:second.com",
            "HTML01:<html>|||<body>",
            "HTML02:",
            "HTML03:</body>|||</html>",
            "RESULT:2|mysite.com/|partner.org|Direct Link|001|partner.org/links.htm",
            "RULE:http://www.mysite.com/|Global|ExcludeString|cgi-bin",
            "POSTSINGLE:http://mysite.com/post.php?s=$Status",
            "POSTMULTI:mysite.com/|http://mysite.com/a.php",
            "",
        });
        QCOMPARE(ProjectFile::serialise(p), expected);
        QVERIFY(expected.endsWith("\r\n\r\n"));
    }

    void roundTripKeepsEverything()
    {
        TestEnv env;
        Project p;
        fill(p);
        const QString path = env.path("round.prj");
        QVERIFY(ProjectFile::write(p, path));
        Project q;
        const auto r = ProjectFile::read(q, path);
        QVERIFY(r.opened);
        QVERIFY(r.complete);
        QCOMPARE(q.mainSiteCount(), 2);
        QCOMPARE(q.linkingSites(0).size(), 2);
        QCOMPARE(q.linkingSites(0).at(0).description, QString("A good partner"));
        QCOMPARE(q.linkingSites(0).at(0).colour, RowColour::Default); // colours are not stored
        QCOMPARE(q.linkingSites(1).size(), 0);
        QCOMPARE(q.htmlBefore(), QString("<html>\r\n<body>"));
        QCOMPARE(q.htmlLinks(), QString()); // a bare marker reads back empty
        QCOMPARE(q.htmlAfter(), QString("</body>\r\n</html>"));
        QCOMPARE(q.results().size(), 1);
        QCOMPARE(q.results().at(0).status, QString("Direct Link"));
        QCOMPARE(q.rules().size(), 1);
        QCOMPARE(q.scriptTargets().size(), 1);
        QCOMPARE(q.currentMainSite(), 0);
        QVERIFY(q.isSaved());
        QCOMPARE(ProjectFile::serialise(q), ProjectFile::serialise(p));
    }

    void noMainSiteAndEmptyScriptUrl()
    {
        TestEnv env;
        Project p;
        p.setScriptUrl("");
        const QByteArray bytes = ProjectFile::serialise(p);
        QVERIFY(bytes.startsWith("HTML01:"));
        QVERIFY(!bytes.contains("POSTSINGLE:"));
        Project q;
        ProjectFile::readText(q, bytes);
        QCOMPARE(q.mainSiteCount(), 0);
        QCOMPARE(q.scriptUrl(), QString("http://"));
        QCOMPARE(q.currentMainSite(), -1);
    }

    void readerQuirks()
    {
        TestEnv env;
        Project q;
        const QByteArray bytes = crlf({
            "main.com",
            "a.org|1|||desc|with bar",
            "b.org|x",
            " ",
            "",
            "HTML01:top HTML01:text",
            "RESULT:1|b.org|None Found|000|b.org",
            "RESULT:2|main.com|a.org|Direct Link|001|a.org/p|extra",
            "RULE:main.com|Global|LimitString|RULE:x",
            "c.org|2|u|t|d|ignored",
        });
        const auto r = ProjectFile::readText(q, bytes);
        QVERIFY(r.complete);
        QCOMPARE(q.linkingSites(0).size(), 3);
        QCOMPARE(q.linkingSites(0).at(0).description, QString("desc")); // cut at the "|"
        QCOMPARE(q.linkingSites(0).at(1).linksExpected, QString("x"));
        QCOMPARE(q.linkingSites(0).at(1).description, QString());
        QCOMPARE(q.htmlBefore(), QString("top text")); // every occurrence of its marker goes
        QCOMPARE(q.results().at(0).mainSite, QString()); // five fields: no Main Site
        QCOMPARE(q.results().at(0).remoteSite, QString("b.org"));
        QCOMPARE(q.results().at(1).url, QString("a.org/p"));
        QCOMPARE(q.rules().at(0).ruleValue, QString("x"));
        QCOMPARE(q.linkingSites(0).at(2).description, QString("d"));
        QCOMPARE(q.results().at(1).notes, QString("extra")); // a seventh field: the link notes
    }

    // Notes are a seventh field, written only when there are any: a project
    // without notes keeps its bytes, and a reader that knows six fields still
    // reads the row. The anchor text is an eighth (the seventh then written,
    // empty or not), left out while chkAnchorText is "0".
    void resultNotesRoundTrip()
    {
        TestEnv env;
        Project p;
        p.addMainSite("mysite.com");
        p.appendResult(LinkResult{2, "mysite.com", "a.org", "Direct Link", "001", "a.org/p", RowColour::Blue, "nofollow, ugc"});
        p.appendResult(LinkResult{2, "mysite.com", "b.org", "Direct Link", "001", "b.org/p", RowColour::Blue, ""});
        const QByteArray bytes = ProjectFile::serialise(p);
        QVERIFY(bytes.contains("\r\nRESULT:2|mysite.com|a.org|Direct Link|001|a.org/p|nofollow, ugc\r\n"));
        QVERIFY(bytes.contains("\r\nRESULT:2|mysite.com|b.org|Direct Link|001|b.org/p\r\n"));
        Project q;
        QVERIFY(ProjectFile::readText(q, bytes).complete);
        QCOMPARE(q.results().at(0).notes, QString("nofollow, ugc"));
        QCOMPARE(q.results().at(0).url, QString("a.org/p"));
        QCOMPARE(q.results().at(1).notes, QString());
        QCOMPARE(ProjectFile::serialise(q), bytes);

        QList<LinkResult> rows = p.results();
        rows[0].anchor = QStringLiteral("Best blue widgets");
        rows[1].anchor = QStringLiteral("Widgets | Gadgets");
        p.setResults(rows);
        const QByteArray withAnchors = ProjectFile::serialise(p);
        QVERIFY(withAnchors.contains("\r\nRESULT:2|mysite.com|a.org|Direct Link|001|a.org/p|nofollow, ugc|"
                                     "Best blue widgets\r\n"));
        QVERIFY(withAnchors.contains("\r\nRESULT:2|mysite.com|b.org|Direct Link|001|b.org/p||Widgets | Gadgets\r\n"));
        QVERIFY(ProjectFile::readText(q, withAnchors).complete);
        QCOMPARE(q.results().at(0).anchor, rows.at(0).anchor);
        QCOMPARE(q.results().at(1).anchor, rows.at(1).anchor);
        QCOMPARE(q.results().at(1).notes, QString());
        SettingsStore::instance().write(Keys::chkAnchorText, "0");
        QCOMPARE(ProjectFile::serialise(q), bytes);
    }

    void linesEndAtLoneCrOrLf()
    {
        TestEnv env;
        Project q;
        const auto r = ProjectFile::readText(q, "main.com\na.org|1|||\rHTML01:x\n\nRESULT:1|m|a.org|None Found|000|a.org\n");
        QVERIFY(r.complete);
        QCOMPARE(q.linkingSites(0).size(), 1);
        QCOMPARE(q.htmlBefore(), QString("x"));
        QCOMPARE(q.results().size(), 1);
    }

    void brokenLinesStopTheReading_data()
    {
        QTest::addColumn<QByteArray>("bad");
        QTest::newRow("result with four fields") << QByteArray("RESULT:1|a|b|c");
        QTest::newRow("result icon not a number") << QByteArray("RESULT:x|a|b|c|d|e");
        QTest::newRow("rule with three fields") << QByteArray("RULE:a|b|c");
        QTest::newRow("target with one field") << QByteArray("POSTMULTI:a");
        QTest::newRow("linking site without bar") << QByteArray("just-a-host.org");
    }
    void brokenLinesStopTheReading()
    {
        QFETCH(QByteArray, bad);
        TestEnv env;
        Project q;
        const QByteArray bytes = "main.com\r\na.org|1|||\r\n" + bad + "\r\nb.org|1|||\r\nNEXTSITE:two.com\r\n";
        const auto r = ProjectFile::readText(q, bytes);
        QVERIFY(!r.complete);
        QCOMPARE(r.stopLineNumber, 3);
        QCOMPARE(r.stopLine, QString::fromLatin1(bad));
        QCOMPARE(q.mainSiteCount(), 1);
        QCOMPARE(q.linkingSites(0).size(), 1); // what came before stays
        QCOMPARE(q.currentMainSite(), -1);     // nothing is selected after a stop
    }

    void emptyFileAndMissingFile()
    {
        TestEnv env;
        Project q;
        q.addMainSite("old.com");
        q.markEdited();
        writeBytes(env.path("empty.prj"), QByteArray());
        const auto r = ProjectFile::read(q, env.path("empty.prj"));
        QVERIFY(r.opened);
        QVERIFY(!r.complete);
        QCOMPARE(q.mainSiteCount(), 0);
        QVERIFY(!q.isSaved()); // the flag keeps its value

        const auto m = ProjectStorage::open(q, env.path("missing.prj"));
        QVERIFY(!m.opened);
        QCOMPARE(SettingsStore::instance().read(Keys::LastProject, ""), env.path("missing.prj"));
    }

    void errorsSurviveReading()
    {
        TestEnv env;
        Project q;
        q.appendError(ErrorEntry{"404 Not found", "a.org/x"});
        ProjectFile::readText(q, "main.com\r\n");
        QCOMPARE(q.errors().size(), 1);
    }

    void latin1BothWays()
    {
        TestEnv env;
        Project p;
        p.addMainSite(QString("caf") + QChar(0xE9) + ".fr");
        p.addMainSite(QString("snow") + QChar(0x2603) + ".org");
        const QByteArray bytes = ProjectFile::serialise(p);
        QVERIFY(bytes.startsWith("caf\xE9.fr\r\n"));
        QVERIFY(bytes.contains("NEXTSITE:snow?.org\r\n"));
        Project q;
        ProjectFile::readText(q, bytes);
        QCOMPARE(q.mainSite(0).url, QString("caf") + QChar(0xE9) + ".fr");
    }

    // Project files are in the Western code page: the typographic quotes, the
    // dashes and the euro sign of pasted HTML are stored and read back.
    void westernCodePageBothWays()
    {
        TestEnv env;
        Project p;
        const QString quoted = QString::fromUtf16(u"\u201Cfine\u201D \u2013 5\u20AC \u2026 caf\u00E9 \u2122");
        p.addMainSite("m.com");
        p.setPageText(Project::PageText::Before, quoted);
        p.appendLinkingSite(0, LinkingSite{"a.org", "1", "", "", QString::fromUtf16(u"snow\u2603 and \U0001F600"),
                                           RowColour::Default});
        const QByteArray bytes = ProjectFile::serialise(p);
        QVERIFY(bytes.contains("HTML01:\x93" "fine\x94 \x96 5\x80 \x85 caf\xE9 \x99\r\n"));
        QVERIFY(bytes.contains("a.org|1|||snow? and ?\r\n")); // one "?" per character
        Project q;
        QVERIFY(ProjectFile::readText(q, bytes).complete);
        QCOMPARE(q.htmlBefore(), quoted);
        // What the file cannot hold is known before writing, each character once.
        QCOMPARE(ProjectFile::unstorableCharacters(p), QString::fromUtf16(u"\u2603\U0001F600"));
        p.appendRule(Rule{"m.com", "a.org", RuleType::LimitString, QString::fromUtf16(u"\u2603")});
        QCOMPARE(ProjectFile::unstorableCharacters(p), QString::fromUtf16(u"\u2603\U0001F600"));
        QCOMPARE(ProjectFile::unstorableCharacters(q), QString());

        // Any byte of an existing file reads and writes back unchanged; the
        // five bytes the code page leaves unassigned stay themselves.
        QByteArray every;
        for (int b = 1; b < 256; ++b)
            if (b != '\r' && b != '\n' && b != '|')
                every += char(b);
        Project r;
        QVERIFY(ProjectFile::readText(r, every + "\r\n").complete);
        QVERIFY(r.mainSite(0).url.contains(QChar(0x201C)) && !r.mainSite(0).url.contains(QChar(0x93)));
        QVERIFY(r.mainSite(0).url.contains(QChar(0x81)));
        QVERIFY(ProjectFile::serialise(r).startsWith(every + "\r\n"));
    }

    void lineBreaksNeverSplitALine()
    {
        TestEnv env;
        Project p;
        p.addMainSite("m.com");
        p.setPageText(Project::PageText::Links, "a\nb\rc\r\nd");
        QCOMPARE(p.htmlLinks(), QString("a\r\nb\r\nc\r\nd"));
        p.appendResult(LinkResult{2, "m.com", "x.org", "Direct Link", "001", "x.org/a\nb", RowColour::Blue});
        const QByteArray bytes = ProjectFile::serialise(p);
        QVERIFY(bytes.contains("HTML02:a|||b|||c|||d\r\n"));
        QVERIFY(bytes.contains("|x.org/ab\r\n"));
        Project q;
        QVERIFY(ProjectFile::readText(q, bytes).complete);
        QCOMPARE(q.htmlLinks(), QString("a\r\nb\r\nc\r\nd"));
    }

    void failedWriteKeepsTheOldFile()
    {
        TestEnv env;
        Project p;
        fill(p);
        const QString path = env.path("keep.prj");
        writeBytes(path, "old.com\r\n");
        // A target inside a folder that does not exist cannot be written.
        QString error;
        QVERIFY(!ProjectFile::write(p, env.path("no/such/folder/x.prj"), &error));
        QVERIFY(!error.isEmpty());
        // A target that is a folder cannot be replaced; the folder stays.
        QVERIFY(QDir(env.programFolder()).mkdir("folder.prj"));
        QVERIFY(!ProjectFile::write(p, env.path("folder.prj"), &error));
        QVERIFY(QFileInfo(env.path("folder.prj")).isDir());
        // A read-only folder: the temporary file cannot be made, the old file stays.
        QFile::setPermissions(env.programFolder(), QFile::ReadOwner | QFile::ExeOwner);
        const bool wrote = ProjectFile::write(p, path, &error);
        QFile::setPermissions(env.programFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (::geteuid() != 0) { // root writes anyway
            QVERIFY(!wrote);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("old.com\r\n"));
        }
    }

    void saveAndOpenRememberThePath()
    {
        TestEnv env;
        Project p;
        fill(p);
        p.markEdited();
        QVERIFY(ProjectStorage::save(p, env.path("saved.prj")));
        QVERIFY(p.isSaved());
        QCOMPARE(ProjectStorage::lastProject(), env.path("saved.prj"));
        SettingsStore::instance().write(Keys::LastProject, "");
        Project q;
        QVERIFY(ProjectStorage::open(q, env.path("saved.prj")).complete);
        QCOMPARE(ProjectStorage::lastProject(), env.path("saved.prj"));
    }

    void firstMainSiteThatLooksLikeAMarker()
    {
        TestEnv env;
        Project p;
        p.addMainSite("RESULT:odd");
        p.appendLinkingSite(0, LinkingSite{"a.org", "1", "", "", "", RowColour::Default});
        const QByteArray bytes = ProjectFile::serialise(p);
        QVERIFY(bytes.startsWith("NEXTSITE:RESULT:odd\r\na.org|1|||\r\n"));
        Project q;
        QVERIFY(ProjectFile::readText(q, bytes).complete);
        QCOMPARE(q.mainSiteCount(), 1);
        QCOMPARE(q.mainSite(0).url, QString("RESULT:odd"));
        QCOMPARE(q.linkingSites(0).size(), 1);

        // A Linking Site that begins like a marker (the entry boxes refuse it,
        // but a scan may write a page's URL there) is written after a space:
        // the one URL gains that space, and the lines after it stay.
        p.appendLinkingSite(0, LinkingSite{"NEXTSITE:x.org", "1", "", "", "", RowColour::Default});
        p.appendLinkingSite(0, LinkingSite{"b.org", "1", "", "", "", RowColour::Default});
        QVERIFY(ProjectFile::serialise(p).contains("\r\n NEXTSITE:x.org|1|||\r\nb.org|1|||\r\n"));
        QVERIFY(ProjectFile::readText(q, ProjectFile::serialise(p)).complete);
        QCOMPARE(q.mainSiteCount(), 1);
        QCOMPARE(q.linkingSites(0).size(), 3);
        QCOMPARE(q.linkingSites(0).at(1).url, QString(" NEXTSITE:x.org"));
    }

    void proposedSaveName_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("name");
        QTest::newRow("none") << QString() << "Unnamed.prj";
        QTest::newRow("host and path") << "http://www.my-site.com/links/" << "wwwmy-sitecom.prj";
        QTest::newRow("no dots no slash") << "localsite" << "localsite.prj";
        QTest::newRow("https upper") << "HTTPS://a.b.org" << "aborg.prj";
        QTest::newRow("leading slash kept") << "/x/y" << "/x/y.prj";
    }
    void proposedSaveName()
    {
        QFETCH(QString, first);
        QFETCH(QString, name);
        TestEnv env;
        Project p;
        if (!first.isNull())
            p.addMainSite(first);
        QCOMPARE(ProjectFile::proposedSaveName(p), name);
    }

    void rebuildWithoutOneMainSite()
    {
        TestEnv env;
        Project p;
        fill(p);
        p.addMainSite("third.com");
        p.appendError(ErrorEntry{"Timeout", "x.org"});
        SettingsStore::instance().write(Keys::LastProject, "/keep/me.prj");
        p.setSaved(true);
        QVERIFY(ProjectStorage::rebuildWithoutMainSite(p, 0));
        QCOMPARE(p.mainSiteCount(), 2);
        QCOMPARE(p.mainSite(0).url, QString("second.com"));
        QCOMPARE(p.mainSite(1).url, QString("third.com"));
        QCOMPARE(p.currentMainSite(), 0);
        QVERIFY(!p.isSaved());
        QCOMPARE(p.errors().size(), 1);
        QCOMPARE(ProjectStorage::lastProject(), QString("/keep/me.prj"));
        QVERIFY(QFile::exists(env.path("quicksave.qsv")));
        QVERIFY(env.readFile("quicksave.qsv").startsWith("second.com\r\nNEXTSITE:third.com\r\n"));
    }

    // Whatever the snapshot cannot hold (a Linking Site that reads back as a
    // marker line, characters beyond the code page, a "|" in a value), the
    // working project keeps after a Main Site is deleted.
    void rebuildLosesNothing()
    {
        TestEnv env;
        Project p;
        fill(p);
        p.addMainSite("third.com");
        p.appendLinkingSite(0, LinkingSite{"RESULT:c.com", "1", "", "", "", RowColour::Default});
        const QString odd = QString::fromUtf16(u"a|b \u2603 \u201Cq\u201D");
        p.appendLinkingSite(2, LinkingSite{"d.org", "1", "", "", odd, RowColour::Default});
        p.setPageText(Project::PageText::After, odd);
        p.setScriptUrl("");
        QVERIFY(ProjectStorage::rebuildWithoutMainSite(p, 1));
        QCOMPARE(p.mainSiteCount(), 2);
        QCOMPARE(p.linkingSites(0).size(), 3);
        QCOMPARE(p.linkingSites(0).at(2).url, QString("RESULT:c.com"));
        QCOMPARE(p.mainSite(1).url, QString("third.com"));
        QCOMPARE(p.linkingSites(1).at(0).description, odd);
        QCOMPARE(p.htmlAfter(), odd);
        QCOMPARE(p.results().size(), 1);
        QCOMPARE(p.rules().size(), 1);
        QCOMPARE(p.scriptUrl(), QString());
        QCOMPARE(p.scriptTargets().size(), 1);
        QCOMPARE(p.linkingSites(0).at(0).colour, RowColour::Default); // as a reopened file shows it
        QCOMPARE(p.currentMainSite(), 0);
        QVERIFY(!p.isSaved());
        QVERIFY(!env.readFile("quicksave.qsv").contains("second.com"));
    }
};

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
