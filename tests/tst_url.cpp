#include "url/UrlText.h"

#include <QtTest>

// H and G are host texts with a domain marker and no leading "www.".
static const QString H = QStringLiteral("example.com");
static const QString G = QStringLiteral("partner.net");

class TestUrl : public QObject
{
    Q_OBJECT
private slots:
    void stripSchemes_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("middle") << "go.php?u=http://" + H << "go.php?u=" + H;
        QTest::newRow("both, any case") << "HTTPS://" + H + "/x?r=Http://" + G << H + "/x?r=" + G;
        QTest::newRow("none") << H << H;
    }
    void stripSchemes()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(::stripSchemes(in), out);
    }

    void normaliseMainSite_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("scheme and www") << "http://www." + H + "/" << H + "/";
        QTest::newRow("upper WWW") << "WWW." + H << H;
        QTest::newRow("bare www.") << "www." << "www.";
        QTest::newRow("https") << "https://" + H << H;
    }
    void normaliseMainSite()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QString arg = in;
        QCOMPARE(::normaliseMainSite(arg), out);
        QCOMPARE(arg, out); // the argument changes too
    }

    void hostOf_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("www and path") << "www." + H + "/links.html" << H;
        QTest::newRow("upper WWW kept") << "WWW." + H + "/x" << "WWW." + H;
        QTest::newRow("scheme") << "http://" + H << H;
        QTest::newRow("bare www.") << "www." << "www.";
    }
    void hostOf()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QString arg = in;
        QCOMPARE(::hostOf(arg), out);
        QCOMPARE(arg, out);
    }

    void backDir_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("dir") << H + "/a/b/" << H + "/a/";
        QTest::newRow("page") << H + "/a/page.htm" << H + "/a/";
        QTest::newRow("root") << H + "/" << H + "/";
        QTest::newRow("host") << H << H + "/";
        QTest::newRow("scheme kept") << "http://" + H + "/a/b" << "http://" + H + "/a/";
        QTest::newRow("scheme dropped at host") << "http://" + H << H + "/";
        QTest::newRow("detection ignores case, removal does not") << "HTTP://" + H + "/b/" << "http://HTTP://" + H + "/";
        QTest::newRow("empty") << "" << "/";
    }
    void backDir()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(::backDir(in), out);
    }

    void splitRequestTarget_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("curDir");
        QTest::newRow("host") << H << H << "/" << H + "/";
        QTest::newRow("host slash") << H + "/" << H << "/" << H + "/";
        QTest::newRow("dir slash") << H + "/dir/" << H << "/dir/" << H + "/dir/";
        QTest::newRow("dir") << H + "/dir" << H << "/dir" << H + "/dir/";
        QTest::newRow("scheme page") << "http://" + H + "/dir/page.html" << H << "/dir/page.html" << H + "/dir/";
        QTest::newRow("query") << H + "/list.php?id=5" << H << "/list.php?id=5" << H + "/";
        QTest::newRow("port") << H + ":8080/a.htm" << H + ":8080" << "/a.htm" << H + ":8080/";
        QTest::newRow("https entry") << "https://" + H + "/p.htm" << H << "/p.htm" << H + "/";
    }
    void splitRequestTarget()
    {
        QFETCH(QString, entry);
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(QString, curDir);
        const RequestTarget r = ::splitRequestTarget(entry);
        QCOMPARE(r.host, host);
        QCOMPARE(r.path, path);
        QCOMPARE(r.strCurDir, curDir);
        QVERIFY(!r.strURL.contains("http://", Qt::CaseInsensitive));
    }

    void resolvePageLink_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("out");
        QTest::newRow("absolute other host") << "http://" + G + "/links.htm" << G + "/links.htm";
        QTest::newRow("root relative") << "/about.htm" << H + "/about.htm";
        QTest::newRow("relative") << "next.htm" << H + "/dir/next.htm";
        QTest::newRow("parent") << "../up.htm" << H + "/up.htm";
        QTest::newRow("dot slash against root") << "./here.htm" << H + "/here.htm";
        QTest::newRow("subdir") << "sub/" << H + "/dir/sub/";
        QTest::newRow("word") << "contact" << H + "/dir/contact";
        QTest::newRow("www host") << "www." + G << "www." + G + "/";
        QTest::newRow("cut .ht") << "shop.ht" << H + "/dir/shop.htm";
        QTest::newRow("scheme any case") << "HTTP://www." + G << "www." + G + "/";
        QTest::newRow("aspx untouched") << "page.aspx" << H + "/dir/page.aspx";
        QTest::newRow("cut .as") << "page.as" << H + "/dir/page.asp";
        QTest::newRow("every .ht") << "a.ht/b.ht" << H + "/dir/a.htm/b.htm";
        // The end is tested in small letters; ".ht" and ".ph" are then replaced
        // in exact case, ".as" in any case.
        QTest::newRow(".ht exact case") << "A.HTML/b.ht" << H + "/dir/A.HTML/b.htm";
        QTest::newRow("upper .HT end") << "shop.HT" << H + "/dir/shop.HT";
        QTest::newRow(".ph exact case") << "X.PHP/c.ph" << H + "/dir/X.PHP/c.php";
        QTest::newRow(".as any case") << "Y.ASX/d.AS" << H + "/dir/Y.aspX/d.asp";
        QTest::newRow("stray href") << "page/href" << H + "/dir/page";
        // Each ".." step drops three characters and joins "/." to ".".
        QTest::newRow("parent steps with slashes") << "..//../x.htm" << H + "/x.htm";
        QTest::newRow("slash runs before dots") << "../a///.b/.c" << H + "/a/.b.c";
        QTest::newRow("above the top") << "../../../../../../../z.html" << H + "/z.html";
    }
    // A hostile page's "../../…" of a million steps must not cost a pass over
    // the whole text per step.
    void manyParentStepsInLinearTime()
    {
        QString target = QStringLiteral("../").repeated(1000000) + QStringLiteral("x.html");
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(::resolvePageLink(target, H, H + "/dir/"), H + "/x.html");
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
    void resolvePageLink()
    {
        QFETCH(QString, target);
        QFETCH(QString, out);
        QString arg = target;
        QCOMPARE(::resolvePageLink(arg, H, H + "/dir/"), out);
        QCOMPARE(arg, out);
    }

    // The one-pass parent steps give what the step-by-step rule gives, for
    // every short text of dots, slashes and letters.
    void parentStepsMatchTheStepByStepRule()
    {
        const QString alphabet = QStringLiteral("./a");
        const QString dirs[] = {H + "/a/b/c/", "http://" + H + "/x/", H + "/"};
        int checked = 0;
        for (int len = 0; len <= 8; ++len) {
            int combos = 1;
            for (int i = 0; i < len; ++i)
                combos *= 3;
            for (int c = 0; c < combos; ++c) {
                QString tail;
                for (int i = 0, v = c; i < len; ++i, v /= 3)
                    tail += alphabet.at(v % 3);
                for (const QString &startDir : dirs) {
                    QString fast = ".." + tail, fastDir = startDir;
                    climbParentSteps(fast, fastDir);
                    QString slow = ".." + tail, slowDir = startDir;
                    while (slow.left(2) == QLatin1String("..")) {
                        slowDir = ::backDir(slowDir);
                        slow.remove(0, 3);
                        slow.replace(QLatin1String("/."), QLatin1String("."));
                    }
                    QCOMPARE(fast, slow);
                    QCOMPARE(fastDir, slowDir);
                    ++checked;
                }
            }
        }
        QVERIFY(checked > 20000);
    }

    void urlEncode_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("argAfter");
        QTest::newRow("space and slash") << "a b/c" << "a+b%2Fc" << "a b/c";
        QTest::newRow("scheme kept once") << "http://my-host.org/a b" << "http://my-host.org%2Fa+b" << "my-host.org/a b";
        QTest::newRow("status") << "Direct Link" << "Direct+Link" << "Direct Link";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("https encoded whole") << "https://a.b" << "https%3A%2F%2Fa.b" << "https://a.b";
        QTest::newRow("low code and latin-1") << QString("\t") + QChar(0xE9) << "%09%E9" << QString("\t") + QChar(0xE9);
        QTest::newRow("kept set") << "*-._~" << "*-._%7E" << "*-._~";
    }
    void urlEncode()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QFETCH(QString, argAfter);
        QString arg = in;
        QCOMPARE(::urlEncode(arg), out);
        QCOMPARE(arg, argAfter);
    }
};

QTEST_GUILESS_MAIN(TestUrl)
#include "tst_url.moc"
