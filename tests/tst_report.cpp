#include "model/Project.h"
#include "outputs/Report.h"
#include "outputs/TabExport.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 3, 9));

LinkResult result(const QString &main, const QString &remote, const QString &status,
                  const QString &number, const QString &url)
{
    LinkResult r;
    r.mainSite = main;
    r.remoteSite = remote;
    r.status = status;
    r.number = number;
    r.url = url;
    return r;
}

// Everything up to the overview table with the fixed date and the C locale.
QString head()
{
    return QStringLiteral("<html>\r\n<head>\r\n<title>Reciprocal Link Report</title>\r\n<body>\r\n"
                          "<H1>Reciprocal Link Report</H1>\r\n"
                          "Date: 5 Mar 2024<BR>\r\n"
                          "Time: 14:03:09<BR><BR>\r\n"
                          "<hr>\r\n"
                          "<table cellpadding=5 border=0>\r\n"
                          "<tr><td colspan=2><b>Overview</b></td></tr>");
}

QString overview(int mains, int linking, int pages, int recip, int direct, int indirect,
                 int redirect, int none, int errors)
{
    return QStringLiteral("<tr><td>Total Main Sites:</td><td> %1</td></tr>\r\n"
                          "<tr><td>Total Linking Sites:</td><td> %2</td></tr>\r\n"
                          "<tr><td>Total Pages Scanned:</td><td> %3</td></tr>\r\n"
                          "<tr><td>Total Reciprocal Links:</td><td> %4</td></tr>\r\n"
                          "<tr><td><li>Direct Links</li></td><td> %5</td></tr>\r\n"
                          "<tr><td><li>Indirect Links</li></td><td> %6</td></tr>\r\n"
                          "<tr><td><li>Redirect Links</li></td><td> %7</td></tr>\r\n"
                          "<tr><td>Total Non-Linking Sites:</td><td> %8</td></tr>\r\n"
                          "<tr><td>Total Errors:</td><td> %9</td></tr>\r\n")
        .arg(mains).arg(linking).arg(pages).arg(recip).arg(direct).arg(indirect)
        .arg(redirect).arg(none).arg(errors)
        + QStringLiteral("<tr><td colspan=2>&nbsp</td></tr>"
                         "<tr><td colspan=2><b>Percentages/Averages</b></td></tr>");
}

const QString kNoClassifiedRows = QStringLiteral(
    "<tr><td>Sites with Reciprocal Links:</td><td>0%</td></tr>\r\n"
    "<tr><td>Sites with No Links:</td><td>100%</td></tr>\r\n"
    "<tr><td>Average Pages Scanned Per Site:</td><td>0</td></tr></table><BR><BR>\r\n");

const QString kSections = QStringLiteral("<h1>Main Site Specific Overviews</h1>\r\n");

QString linked(const QString &key, const QString &status, const QString &url)
{
    return "Site: <a href='" + key + "'>" + key + "</a><BR>Status: " + status
         + "<BR>Found On: <a href='" + url + "'>" + url + "</a><BR><BR>";
}

QString notLinked(const QString &key, const QString &status)
{
    return "Site: <a href='" + key + "'>" + key + "</a><BR>Status: " + status + "<BR><BR>";
}

QString siteOnly(const QString &key)
{
    return "Site: <a href='" + key + "'>" + key + "</a><BR><BR>";
}

} // namespace

class TestReport : public QObject
{
    Q_OBJECT
private slots:
    void percentagesAndEntries()
    {
        Project p;
        const int m = p.addMainSite(QStringLiteral("mysite.com"));
        for (const char *host : {"a.com", "b.com", "c.com", "d.com", "e.com", "f.com"})
            p.addLinkingSite(m, QLatin1String(host));
        p.appendResult(result("mysite.com", "a.com", "Direct Link", "001", "a.com/links.htm"));
        p.appendResult(result("mysite.com", "b.com", "Direct Link", "001", "b.com/"));
        p.appendResult(result("mysite.com", "c.com", "Direct Link", "001", "c.com/friends/"));
        p.appendResult(result("mysite.com", "d.com", "Redirect Link", "001", "d.com/go.php"));
        p.appendResult(result("mysite.com", "e.com", "None Found (Possible Rule Problem)", "000", "e.com/"));
        p.appendResult(result("mysite.com", "f.com", "None Found (404 Not found)", "000", "f.com/x"));
        p.appendError(ErrorEntry{QStringLiteral("404 Not found"), QStringLiteral("f.com/x")});

        const QString expected = head() + overview(1, 6, 40, 4, 3, 0, 1, 2, 1)
            + "<tr><td>Sites with Reciprocal Links:</td><td>66.67%</td></tr>\r\n"
              "<tr><td>Sites with No Links:</td><td>33.33%</td></tr>\r\n"
              "<tr><td>Average Pages Scanned Per Site:</td><td>6.67</td></tr></table><BR><BR>\r\n"
            + kSections + "<h3>mysite.com</h3>\r\n"
            + linked("a.com", "Direct Link", "a.com/links.htm")
            + linked("b.com", "Direct Link", "b.com/")
            + linked("c.com", "Direct Link", "c.com/friends/")
            + linked("d.com", "Redirect Link", "d.com/go.php")
            + notLinked("e.com", "None Found (Possible Rule Problem)")
            + notLinked("f.com", "None Found (404 Not found)");
        QCOMPARE(buildReportHtml(p, 40, kNow, QLocale::c()), expected);
    }

    // A link row with notes keeps its status and counts as before; its notes
    // follow the status, and the overview counts the links that pass no value.
    void linksThatPassNoValue()
    {
        Project p;
        const int m = p.addMainSite(QStringLiteral("mysite.com"));
        for (const char *host : {"a.com", "b.com", "c.com"})
            p.addLinkingSite(m, QLatin1String(host));
        LinkResult a = result("mysite.com", "a.com", "Direct Link", "001", "a.com/links.htm");
        a.notes = QStringLiteral("nofollow, blocked by robots.txt");
        LinkResult b = result("mysite.com", "b.com", "Direct Link", "001", "b.com/");
        b.notes = QStringLiteral("JavaScript"); // where it was found, not what it is worth
        LinkResult c = result("mysite.com", "c.com", "Domain Link", "001", "c.com/");
        c.notes = QStringLiteral("JavaScript, noindex page");
        for (const LinkResult &r : {a, b, c})
            p.appendResult(r);
        QString figures = overview(1, 3, 3, 2, 2, 0, 0, 0, 0);
        const QString redirectLine = QStringLiteral("<tr><td><li>Redirect Links</li></td><td> 0</td></tr>\r\n");
        figures.replace(redirectLine, redirectLine + "<tr><td>Links that pass no value:</td><td> 2</td></tr>\r\n");
        const QString expected = head() + figures
            + "<tr><td>Sites with Reciprocal Links:</td><td>100.00%</td></tr>\r\n"
              "<tr><td>Sites with No Links:</td><td>0.00%</td></tr>\r\n"
              "<tr><td>Average Pages Scanned Per Site:</td><td>1.50</td></tr></table><BR><BR>\r\n"
            + kSections + "<h3>mysite.com</h3>\r\n"
            + linked("a.com", "Direct Link (nofollow, blocked by robots.txt)", "a.com/links.htm")
            + linked("b.com", "Direct Link (JavaScript)", "b.com/") + siteOnly("c.com");
        QCOMPARE(buildReportHtml(p, 3, kNow, QLocale::c()), expected);
    }

    // No classified row: fixed percentages; rows of other statuses count in no
    // figure and show only their "Site:" line; every Main Site gets its heading.
    void noClassifiedRows()
    {
        Project p;
        const int one = p.addMainSite(QStringLiteral("one.com"));
        p.addMainSite(QStringLiteral("two.com"));
        p.addLinkingSite(one, QStringLiteral("x.net"));
        p.appendResult(result("one.com", "x.net", "Domain Link", "001", "x.net/links/"));
        p.appendResult(result("one.com", "x.net", "Missing 001", "000", "x.net/"));
        p.appendResult(result("one.com", "x.net", "direct link", "001", "x.net/"));

        const QString expected = head() + overview(2, 1, 7, 0, 0, 0, 0, 0, 0) + kNoClassifiedRows
            + kSections + "<h3>one.com</h3>\r\n" + siteOnly("x.net") + siteOnly("x.net") + siteOnly("x.net")
            + "<h3>two.com</h3>\r\n";
        QCOMPARE(buildReportHtml(p, 7, kNow, QLocale::c()), expected);

        Project empty;
        QCOMPARE(buildReportHtml(empty, 0, kNow, QLocale::c()),
                 head() + overview(0, 0, 0, 0, 0, 0, 0, 0, 0) + kNoClassifiedRows + kSections);
    }

    // Keys drop schemes, a lower-case "www." and the path; two Linking Sites of
    // one host and one host under two Main Sites repeat every row of it.
    void keyMatching()
    {
        Project p;
        const int mine = p.addMainSite(QStringLiteral("mine.com"));
        const int second = p.addMainSite(QStringLiteral("second.com"));
        p.addLinkingSite(mine, QStringLiteral("HTTPS://www.partner.com/links/page.html"));
        p.addLinkingSite(mine, QStringLiteral("other.org"));
        p.addLinkingSite(mine, QStringLiteral("partner.com"));
        p.addLinkingSite(second, QStringLiteral("http://partner.com"));
        p.appendResult(result("mine.com", "partner.com", "Direct Link", "001", "partner.com/links/page.html"));
        p.appendResult(result("mine.com", "other.org", "none found (Timeout)", "000", "other.org/"));
        p.appendResult(result("second.com", "www.partner.com/x", "Indirect Link", "001", "partner.com/x"));
        p.appendResult(result("mine.com", "WWW.partner.com", "Direct Link", "001", "WWW.partner.com/"));

        const QString partnerRows = linked("partner.com", "Direct Link", "partner.com/links/page.html")
                                  + linked("partner.com", "Indirect Link", "partner.com/x");
        const QString expected = head() + overview(2, 4, 9, 3, 2, 1, 0, 1, 0)
            + "<tr><td>Sites with Reciprocal Links:</td><td>75.00%</td></tr>\r\n"
              "<tr><td>Sites with No Links:</td><td>25.00%</td></tr>\r\n"
              "<tr><td>Average Pages Scanned Per Site:</td><td>2.25</td></tr></table><BR><BR>\r\n"
            + kSections + "<h3>mine.com</h3>\r\n" + partnerRows
            + notLinked("other.org", "none found (Timeout)") + partnerRows
            + "<h3>second.com</h3>\r\n" + partnerRows;
        QCOMPARE(buildReportHtml(p, 9, kNow, QLocale::c()), expected);
    }

    // A partner controls the found-on URL; the project holds what users type.
    void hostileTextIsEscaped()
    {
        Project p;
        const int m = p.addMainSite(QStringLiteral("<b>mine</b>.com"));
        p.addLinkingSite(m, QStringLiteral("evil.com"));
        const QString hostile = QStringLiteral("evil.com/'><script>alert(\"x\")</script>&a=1");
        p.appendResult(result("mine.com", "evil.com", "Direct Link", "001", hostile));
        p.appendResult(result("mine.com", "evil.com", "None Found (<img src=x onerror=alert(1)>)", "000", "evil.com/"));

        const QString html = buildReportHtml(p, 1, kNow, QLocale::c());
        QVERIFY(!html.contains(QLatin1String("<script>")));
        QVERIFY(!html.contains(QLatin1String("<img")));
        QVERIFY(!html.contains(QLatin1String("<b>mine")));
        const QString safe = QStringLiteral("evil.com/&#39;&gt;&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt;&amp;a=1");
        QVERIFY(html.endsWith(QStringLiteral("<h3>&lt;b&gt;mine&lt;/b&gt;.com</h3>\r\n")
                              + linked("evil.com", "Direct Link", safe)
                              + notLinked("evil.com", "None Found (&lt;img src=x onerror=alert(1)&gt;)")));
    }

    // With a previous run in the history: the lost and new links since its
    // date and the partners not checked, escaped, between the percentages and
    // the Main Site overviews.
    void changesSinceThePreviousRun()
    {
        Project p;
        ReportChanges changes;
        changes.since = QDateTime(QDate(2024, 2, 27), QTime(9, 30));
        changes.lost.append({"mysite.com", "a.org", "None Found (<b>Error</b>)", "a.org/l?x=1&y=2"});
        changes.notChecked.append({"mysite.com", "b.org", "None Found (Timeout)", "b.org/l"});
        QString html = buildReportHtml(p, 0, kNow, QLocale::c(), &changes);
        QVERIFY(html.contains(kNoClassifiedRows
                              + "<h1>Changes since 27 Feb 2024 09:30:00</h1>\r\n"
                                "<b>Lost Links</b><BR>\r\n"
                                "Site: <a href='a.org'>a.org</a><BR>Main Site: mysite.com<BR>"
                                "Status: None Found (&lt;b&gt;Error&lt;/b&gt;)<BR>"
                                "Was Found On: <a href='a.org/l?x=1&amp;y=2'>a.org/l?x=1&amp;y=2</a><BR>\r\n"
                                "<BR>\r\n"
                                "<b>New Links</b><BR>\r\n"
                                "None<BR>\r\n"
                                "<BR>\r\n"
                                "<b>Not checked</b>: the page could not be read; the next scan compares it with its "
                                "last check<BR>\r\n"
                                "Site: <a href='b.org'>b.org</a><BR>Main Site: mysite.com<BR>Status: None Found (Timeout)<BR>"
                                "Last Found On: <a href='b.org/l'>b.org/l</a><BR>\r\n"
                                "<BR>\r\n"
                                "<h1>Main Site Specific Overviews</h1>\r\n"));
        QCOMPARE(html.remove(QRegularExpression("<h1>Changes since.*(?=<h1>Main Site)",
                                                QRegularExpression::DotMatchesEverythingOption)),
                 buildReportHtml(p, 0, kNow, QLocale::c()));
    }

    // The user's regional format: decimal comma, grouping in F(x) only.
    void regionalNumberFormat()
    {
        Project p;
        p.appendResult(result("m.com", "a.com", "Direct Link", "001", "a.com/"));
        p.appendResult(result("m.com", "b.com", "Direct Link", "001", "b.com/"));
        p.appendResult(result("m.com", "c.com", "None Found", "000", "c.com/"));
        const QString html = buildReportHtml(p, 2469134, kNow, QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(html.contains(QLatin1String("<tr><td>Total Pages Scanned:</td><td> 2469134</td></tr>\r\n")));
        QVERIFY(html.contains(QLatin1String("<td>Sites with Reciprocal Links:</td><td>66,67%</td>")));
        QVERIFY(html.contains(QLatin1String("<td>Sites with No Links:</td><td>33,33%</td>")));
        QVERIFY(html.contains(QLatin1String("<td>Average Pages Scanned Per Site:</td><td>823.044,67</td>")));
        QCOMPARE(formatReportNumber(0.5, QLocale::c()), QStringLiteral("0.50"));
    }

    // The written file: the HTML, one CR LF, one byte per character.
    void tempReportFile()
    {
        TestEnv env;
        Project p;
        p.addMainSite(QString::fromLatin1("caf\xe9.com"));
        QFile::remove(env.path(QStringLiteral("tempreport.html")));
        env.writeFile(QStringLiteral("tempreport.html"), QByteArray(100000, 'x')); // replaced whole

        const QString path = buildReport(p, 3);
        QCOMPARE(path, env.path(QStringLiteral("tempreport.html")));
        const QByteArray bytes = env.readFile(QStringLiteral("tempreport.html"));
        QVERIFY(bytes.endsWith("<h3>caf\xe9.com</h3>\r\n\r\n"));

        // Date and time follow the system's format; mask them and compare the rest.
        QString text = QString::fromLatin1(bytes);
        text.replace(QRegularExpression(QStringLiteral("Date: [^<\r\n]+<BR>\r\n")), QStringLiteral("Date: D<BR>\r\n"));
        text.replace(QRegularExpression(QStringLiteral("Time: [^<\r\n]+<BR><BR>\r\n")), QStringLiteral("Time: T<BR><BR>\r\n"));
        QString expected = head() + overview(1, 0, 3, 0, 0, 0, 0, 0, 0) + kNoClassifiedRows + kSections
                         + QString::fromLatin1("<h3>caf\xe9.com</h3>\r\n\r\n");
        expected.replace(QStringLiteral("5 Mar 2024"), QStringLiteral("D")).replace(QStringLiteral("14:03:09"), QStringLiteral("T"));
        QCOMPARE(text, expected);
    }

    // A program folder that cannot hold the file: no report, no crash, a reason.
    void tempReportCannotBeWritten()
    {
        TestEnv env;
        QDir(env.programFolder()).mkpath(QStringLiteral("tempreport.html/locked"));
        FileFailure failure;
        Project p;
        QCOMPARE(buildReport(p, 0, &failure), QString());
        QVERIFY(failure.number != 0);
        QVERIFY(failure.message().startsWith(QStringLiteral("Error: ") + QString::number(failure.number) + " - "));
    }

    void tabExport()
    {
        QCOMPARE(tabDelimitedText({}), QStringLiteral("Main\tRemote\tStatus\tNo.\tURL\r\n\r\n\r\n"));
        QList<LinkResult> rows = {
            result("m.com", "a.com", "Direct Link", "001", "a.com/links.htm"),
            result("m.com", "b\tc.com", "None Found (Timeout)", "000", "b.com/"),
            result("m.com", "d.com", "Direct Link", "001", "d.com/"),
        };
        rows[2].notes = QStringLiteral("nofollow, ugc"); // the Status column carries the notes
        QCOMPARE(tabDelimitedText(rows),
                 QStringLiteral("Main\tRemote\tStatus\tNo.\tURL\r\n\r\n"
                                "m.com\ta.com\tDirect Link\t001\ta.com/links.htm\r\n"
                                "m.com\tb\tc.com\tNone Found (Timeout)\t000\tb.com/\r\n"
                                "m.com\td.com\tDirect Link (nofollow, ugc)\t001\td.com/\r\n\r\n"));

        TestEnv env;
        const SaveOutcome saved = saveTabDelimited(rows, env.path(QStringLiteral("results")), {});
        QCOMPARE(saved.kind, SaveOutcome::Saved);
        QCOMPARE(saved.path, env.path(QStringLiteral("results.tab")));
        QCOMPARE(env.readFile(QStringLiteral("results.tab")), tabDelimitedText(rows).toLatin1());
        QVERIFY(!QFile::exists(env.path(QStringLiteral("results"))));

        const SaveOutcome upper = saveTabDelimited({}, env.path(QStringLiteral("Out.TAB")), {});
        QCOMPARE(upper.path, env.path(QStringLiteral("Out.TAB")));

        const SaveOutcome failed = saveTabDelimited(rows, env.path(QStringLiteral("no/such/dir/x.tab")), {});
        QCOMPARE(failed.kind, SaveOutcome::Failed);
        QVERIFY(QRegularExpression(QStringLiteral("^Error: [1-9][0-9]* - .+")).match(failed.errorMessage).hasMatch());
    }

    // The question is asked on the name as chosen; the extension comes after.
    void saveRules()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("tempreport.html"), "<html>report\r\n");
        QStringList asked;
        bool answer = false;
        const OverwriteQuestion ask = [&](const QString &path) { asked << path; return answer; };

        QCOMPARE(saveReportAs(QString(), ask).kind, SaveOutcome::Cancelled);
        QCOMPARE(saveReportAs(QStringLiteral(" "), ask).kind, SaveOutcome::Cancelled);

        // No extension: the longer name is written, the name as chosen is not.
        const QString bare = env.path(QStringLiteral("report"));
        ReportSaveOutcome out = saveReportAs(bare, ask);
        QCOMPARE(out.kind, SaveOutcome::Saved);
        QVERIFY(out.copied);
        QCOMPARE(out.path, bare + ".htm");
        QCOMPARE(env.readFile(QStringLiteral("report.htm")), QByteArray("<html>report\r\n"));
        QVERIFY(asked.isEmpty());

        // report.htm exists, but the question tests "report": overwritten unasked.
        env.writeFile(QStringLiteral("tempreport.html"), "second");
        QCOMPARE(saveReportAs(bare, ask).kind, SaveOutcome::Saved);
        QCOMPARE(env.readFile(QStringLiteral("report.htm")), QByteArray("second"));
        QVERIFY(asked.isEmpty());

        // An existing file of the name as chosen: Cancel keeps it untouched.
        const QString chosen = env.path(QStringLiteral("Keep.HTML"));
        env.writeFile(QStringLiteral("Keep.HTML"), "old");
        answer = false;
        QCOMPARE(saveReportAs(chosen, ask).kind, SaveOutcome::Cancelled);
        QCOMPARE(asked, QStringList{chosen});
        QCOMPARE(env.readFile(QStringLiteral("Keep.HTML")), QByteArray("old"));
        answer = true;
        out = saveReportAs(chosen, ask);
        QCOMPARE(out.path, chosen);
        QCOMPARE(env.readFile(QStringLiteral("Keep.HTML")), QByteArray("second"));

        // OK on an existing name without extension deletes it and writes the longer name.
        env.writeFile(QStringLiteral("plain"), "plain");
        out = saveReportAs(env.path(QStringLiteral("plain")), ask);
        QVERIFY(!QFile::exists(env.path(QStringLiteral("plain"))));
        QCOMPARE(env.readFile(QStringLiteral("plain.htm")), QByteArray("second"));

        // No report built in this folder: the copy fails silently.
        QFile::remove(env.path(QStringLiteral("tempreport.html")));
        out = saveReportAs(env.path(QStringLiteral("none.htm")), ask);
        QCOMPARE(out.kind, SaveOutcome::Saved);
        QVERIFY(!out.copied);
        QVERIFY(!QFile::exists(env.path(QStringLiteral("none.htm"))));

        // The tab export asks the same way.
        asked.clear();
        answer = false;
        env.writeFile(QStringLiteral("list.tab"), "old");
        QCOMPARE(saveTabDelimited({}, env.path(QStringLiteral("list.tab")), ask).kind, SaveOutcome::Cancelled);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(env.readFile(QStringLiteral("list.tab")), QByteArray("old"));
    }
};

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
