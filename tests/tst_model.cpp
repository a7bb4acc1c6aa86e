#include "model/Project.h"

#include <QSignalSpy>
#include <QtTest>

class TestModel : public QObject
{
    Q_OBJECT
private slots:
    void clearProjectValues()
    {
        Project p;
        p.addMainSite("a.com");
        p.addLinkingSite(0, "b.org");
        p.appendRule(Rule{"Global", "Global", "LimitString", "x"});
        p.appendResult(LinkResult{});
        p.appendError(ErrorEntry{"Timeout", "b.org"});
        p.setScriptUrl("");
        p.addScriptTarget(ScriptTarget{"a.com", "http://a.com/s"});
        p.setPageText(Project::PageText::Links, "mine");
        p.setCurrentMainSite(0);
        QSignalSpy reset(&p, &Project::projectReset);
        p.clearProject();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(p.mainSiteCount(), 0);
        QVERIFY(p.rules().isEmpty());
        QVERIFY(p.results().isEmpty());
        QVERIFY(p.scriptTargets().isEmpty());
        QCOMPARE(p.errors().size(), 1);
        QCOMPARE(p.scriptUrl(), QString("http://"));
        QCOMPARE(p.htmlLinks(), QString("Your link HTML will be generate here.  This will be the second part of your generated webpage."));
        QCOMPARE(p.currentMainSite(), -1);
    }

    void addedLinkingSiteDefaults()
    {
        Project p;
        p.addMainSite("a.com");
        QCOMPARE(p.addLinkingSite(0, " b.org "), 0);
        const LinkingSite &s = p.linkingSites(0).at(0);
        QCOMPARE(s.url, QString(" b.org ")); // stored unchanged; callers normalise
        QCOMPARE(s.linksExpected, QString("1"));
        QVERIFY(s.linkPageUrl.isEmpty() && s.linkPageText.isEmpty() && s.description.isEmpty());
        QCOMPARE(p.addLinkingSite(5, "x"), -1); // no such Main Site
    }

    void lookups()
    {
        Project p;
        p.addMainSite(" a.com");
        p.addMainSite("b.com");
        p.addMainSite("b.com");
        QCOMPARE(p.findMainSite("b.com"), 1);
        QCOMPARE(p.findMainSite("a.com  "), 0);
        QCOMPARE(p.findMainSite("B.COM"), 0); // case counts; no match gives the first
        p.addScriptTarget(ScriptTarget{" m.com ", "http://one"});
        p.addScriptTarget(ScriptTarget{"m.com", "http://two"});
        QCOMPARE(p.findScriptUrl("m.com"), QString("http://one"));
        QCOMPARE(p.findScriptUrl("M.com"), QString());
        // Only spaces are trimmed: a tab or a no-break space is part of the text.
        p.addMainSite("\tc.com");
        p.addMainSite("c.com" + QString(QChar(0xA0)));
        p.addMainSite("c.com");
        QCOMPARE(p.findMainSite(" c.com "), 5);
        QCOMPARE(p.findMainSite("\tc.com"), 3);
        p.addScriptTarget(ScriptTarget{"\tn.com", "http://tab"});
        p.addScriptTarget(ScriptTarget{"n.com" + QString(QChar(0xA0)), "http://nbsp"});
        p.addScriptTarget(ScriptTarget{" n.com", "http://space"});
        QCOMPARE(p.findScriptUrl("n.com"), QString("http://space"));
        QCOMPARE(p.findScriptUrl("n.com" + QString(QChar(0xA0))), QString("http://nbsp"));
    }

    void removingAMainSiteTakesItsRules()
    {
        Project p;
        p.addMainSite("a.com");
        p.addMainSite("b.com");
        p.appendRule(Rule{"a.com", "Global", "LimitString", "x"});
        p.appendRule(Rule{"a.com", "x.org", "LimitString", "y"});
        p.appendRule(Rule{"b.com", "Global", "LimitString", "z"});
        p.appendRule(Rule{"Global", "Global", "LimitString", "g"});
        p.appendResult(LinkResult{2, "a.com", "x.org", "Direct Link", "001", "x.org", RowColour::Blue});
        p.setCurrentMainSite(1);
        p.removeMainSite(0);
        QCOMPARE(p.mainSiteCount(), 1);
        QCOMPARE(p.rules().size(), 2);
        QCOMPARE(p.results().size(), 1);
        QCOMPARE(p.currentMainSite(), 0);
    }

    void renameLeavesRulesUnderTheOldText()
    {
        Project p;
        p.addMainSite("a.com");
        p.appendRule(Rule{"a.com", "Global", "LimitString", "x"});
        p.renameMainSite(0, "new.com");
        QCOMPARE(p.rules().at(0).mainSite, QString("a.com"));
    }

    void replaceScopeRulesMovesThemToTheEnd()
    {
        Project p;
        const Rule g1{"Global", "Global", "LimitString", "1"};
        const Rule m1{"a.com", "Global", "ExcludeString", "2"};
        const Rule l1{"a.com", "x.org", "LimitRoot", "3"};
        const Rule g2{"Global", "Global", "ExcludeRoot", "4"};
        p.setRules({g1, m1, l1, g2});
        p.replaceScopeRules(Project::Scope::Global, QString(), QString(), p.scopeRules(Project::Scope::Global, {}, {}));
        QCOMPARE(p.rules(), (QList<Rule>{m1, l1, g1, g2}));
        p.replaceScopeRules(Project::Scope::MainSite, "a.com", QString(), {});
        QCOMPARE(p.rules(), (QList<Rule>{l1, g1, g2}));
        QCOMPARE(p.scopeRules(Project::Scope::LinkingSite, "a.com", "x.org"), QList<Rule>{l1});
    }

    void savedFlag()
    {
        Project p;
        QVERIFY(p.isSaved());
        QSignalSpy spy(&p, &Project::savedChanged);
        p.markEdited();
        p.markEdited();
        QVERIFY(!p.isSaved());
        QCOMPARE(spy.count(), 1);
        p.clearProject(); // clearing does not touch the flag
        QVERIFY(!p.isSaved());
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
