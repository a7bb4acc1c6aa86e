// The scan's text rules on their own: rules, the "#" number rule, anchor
// normalisation, cache lines and the page queue.
#include "scan/PageCache.h"
#include "scan/PageQueue.h"
#include "scan/ScanRules.h"
#include "scan/ScanSession.h"
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
