#include "model/Project.h"
#include "support/TestEnv.h"
#include "ui/DialogService.h"
#include "ui/WebsitesPanel.h"
#include "UiFind.h"

#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

// The Websites panel driven by its controls: adding, selecting, deleting and
// sorting sites, with the rules and the snapshot behind them.
class TestSiteLists : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        TestEnv env;
        Project project;
        WebsitesPanel panel{project};
        Fixture()
        {
            DialogService::instance().setAnswering(true);
            panel.show();
        }
        QLineEdit *domain() { return need<QLineEdit>(&panel, "txtDomain"); }
        QLineEdit *text1() { return need<QLineEdit>(&panel, "Text1"); }
        QTreeWidget *list1() { return need<QTreeWidget>(&panel, "List1"); }
        QListWidget *list4() { return need<QListWidget>(&panel, "List4"); }
        QPushButton *button(const char *name) { return need<QPushButton>(&panel, name); }
        void addMain(const QString &url)
        {
            domain()->setText(url);
            QTest::keyClick(domain(), Qt::Key_Return);
        }
        void addLinking(const QString &url)
        {
            text1()->setText(url);
            button("cmdAddLinking")->click();
        }
        void chooseRow(int row)
        {
            QTreeWidgetItem *item = list1()->topLevelItem(row);
            list1()->clearSelection();
            item->setSelected(true);
            emit list1()->itemClicked(item, 0);
        }
        QStringList linkingUrls(int mainPos)
        {
            QStringList out;
            for (const LinkingSite &s : project.linkingSites(mainPos))
                out.append(s.url);
            return out;
        }
    };

private slots:
    void mainSiteEntryRules()
    {
        Fixture f;
        QSignalSpy status(&f.panel, &WebsitesPanel::statusMessage);
        QVERIFY(!f.button("cmdAddMain")->isEnabled());
        QVERIFY(f.project.isSaved());
        f.domain()->setText(" ");
        QVERIFY(f.button("cmdAddMain")->isEnabled());
        QVERIFY(!f.project.isSaved()); // typing counts as an edit
        f.button("cmdAddMain")->click();
        QCOMPARE(f.project.mainSiteCount(), 0);
        QCOMPARE(status.last().at(0).toString(), QString("Error: Please enter a Remote Site first!"));
        QVERIFY(askedMessages().isEmpty());

        // Two spaces are a Main Site; the text is kept as typed, scheme and all.
        f.addMain("  ");
        f.addMain("http://Mine.example/");
        QCOMPARE(f.project.mainSiteCount(), 2);
        QCOMPARE(f.project.mainSite(0).url, QString("  "));
        QCOMPARE(f.project.mainSite(1).url, QString("http://Mine.example/"));
        QCOMPARE(f.domain()->text(), QString());
        QVERIFY(f.button("cmdAddMain")->isEnabled()); // emptying the box never disables it
        // The new one is current, its Linking Sites are on show.
        QCOMPARE(f.project.currentMainSite(), 1);
        QCOMPARE(f.list4()->currentRow(), 1);
        auto *linkingPanel = need<QGroupBox>(&f.panel, "frameLinkingSites");
        QVERIFY(linkingPanel->isVisible());
        QCOMPARE(linkingPanel->title(), QString("Enter linking sites: http://Mine.example/"));
        QVERIFY(f.text1()->isEnabled() && f.text1()->isVisible());
        QVERIFY(f.button("cmdDelMain")->isEnabled() && f.button("cmdEditMain")->isEnabled());
        QVERIFY(!f.button("cmdDelLinking")->isEnabled() && !f.button("cmdEditLinking")->isEnabled());

        // Focus on an entry box shows its tooltip in the first status panel.
        f.panel.activateWindow();
        f.text1()->setFocus();
        QTRY_COMPARE(status.last().at(0).toString(),
                     QString("Enter the URL of the website/page you want to search for links."));
    }

    void linkingSiteEntryRules()
    {
        Fixture f;
        f.addMain("mine.example");
        QVERIFY(!f.button("cmdAddLinking")->isEnabled());
        f.text1()->setText("x");
        QVERIFY(f.button("cmdAddLinking")->isEnabled());
        f.text1()->clear();
        QVERIFY(!f.button("cmdAddLinking")->isEnabled());

        f.project.setSaved(true);
        f.addLinking("HTTP://www.partner.example/links/");
        f.addLinking("  a.example/https://b  ");
        f.addLinking("dup.example");
        f.text1()->setText("dup.example");
        QTest::keyClick(f.text1(), Qt::Key_Return);
        QCOMPARE(f.linkingUrls(0), QStringList({"www.partner.example/links/", "a.example/b", "dup.example", "dup.example"}));
        QCOMPARE(f.project.linkingSites(0).at(0).linksExpected, QString("1"));
        QVERIFY(!f.project.isSaved());
        QCOMPARE(f.list1()->topLevelItemCount(), 4);
        QCOMPARE(f.list1()->topLevelItem(0)->text(0), QString("www.partner.example/links/"));
        QCOMPARE(f.list1()->topLevelItem(0)->text(1), QString("1"));

        // A scheme alone is refused with the message, and the box keeps what is left.
        f.addLinking("http://");
        QCOMPARE(askedMessages(), QStringList({"Please enter the Website URL first."}));
        QCOMPARE(f.project.linkingSites(0).size(), 4);
        f.addLinking(" https://");
        QCOMPARE(askedMessages().size(), 2);
        QCOMPARE(f.project.linkingSites(0).size(), 4);

        // A site typed as https keeps its scheme in front: the scan fetches it over TLS.
        f.addLinking("HTTPS://secure.example/http://partners/");
        QCOMPARE(f.linkingUrls(0).value(4), QString("https://secure.example/partners/"));
        f.project.removeLinkingSite(0, 4);

        // A URL that begins like a line marker of the project file would read
        // back as that line: refused, and the box keeps it for correcting.
        f.addLinking("http://RESULT:c.com");
        QCOMPARE(askedMessages().size(), 3);
        QVERIFY(askedMessages().last().contains("\"RESULT:\""));
        QCOMPARE(f.text1()->text(), QString("RESULT:c.com"));
        QCOMPARE(f.project.linkingSites(0).size(), 4);
        f.addLinking("result:c.com"); // markers are upper case
        QCOMPARE(f.project.linkingSites(0).size(), 5);

        // Choosing a row swaps which Del/Edit pair is live.
        f.chooseRow(1);
        QVERIFY(f.button("cmdDelLinking")->isEnabled() && f.button("cmdEditLinking")->isEnabled());
        QVERIFY(!f.button("cmdDelMain")->isEnabled() && !f.button("cmdEditMain")->isEnabled());
        QCOMPARE(f.panel.firstSelectedLinkingSite(), 1);
    }

    // Del and Edit under Linking Sites follow the selection however it was
    // made: keys, a drag, a click; a refill that loses it disables them.
    void linkingButtonsFollowTheSelection()
    {
        Fixture f;
        f.addMain("m.example");
        for (const char *u : {"b.example", "a.example", "c.example"})
            f.addLinking(u);
        QPushButton *del = f.button("cmdDelLinking");
        QPushButton *edit = f.button("cmdEditLinking");
        QVERIFY(!del->isEnabled() && !edit->isEnabled());

        f.list1()->setFocus();
        QTest::keyClick(f.list1(), Qt::Key_Down);
        QCOMPARE(f.panel.firstSelectedLinkingSite(), 0);
        QVERIFY(del->isEnabled() && edit->isEnabled());
        QVERIFY(!f.button("cmdDelMain")->isEnabled() && !f.button("cmdEditMain")->isEnabled());

        // A refill (an add) loses the selection, and the buttons with it.
        f.addLinking("d.example");
        QCOMPARE(f.panel.firstSelectedLinkingSite(), -1);
        QVERIFY(!del->isEnabled() && !edit->isEnabled());

        // A selection made without a click (a drag selects like this).
        f.list1()->setCurrentItem(f.list1()->topLevelItem(2));
        QVERIFY(del->isEnabled() && edit->isEnabled());
        emit f.list1()->header()->sectionClicked(0); // a sort refills too
        QVERIFY(!del->isEnabled() && !edit->isEnabled());
        f.chooseRow(1);
        QVERIFY(del->isEnabled());
        f.list1()->clearSelection();
        QVERIFY(!del->isEnabled() && !edit->isEnabled());
    }

    void deletingLinkingSitesCleansRules()
    {
        Fixture f;
        f.addMain("one.example");
        f.addLinking("first.example");
        f.addLinking("second.example");
        f.addMain("two.example");
        f.addLinking("other.example");
        f.project.setRules({{"one.example", "first.example", RuleType::LimitString, "a"},
                            {"two.example", "first.example", RuleType::LimitString, "b"},
                            {"one.example", "second.example", RuleType::ExcludeString, "c"},
                            {"two.example", "second.example", RuleType::ExcludeString, "d"},
                            {"one.example", "Global", RuleType::LimitRoot, "e"}});
        f.panel.selectMainSite(0);
        f.project.setSaved(true);

        // The first row takes its URL's rules under every Main Site.
        f.chooseRow(0);
        f.button("cmdDelLinking")->click();
        QCOMPARE(f.linkingUrls(0), QStringList({"second.example"}));
        QCOMPARE(f.project.rules().size(), 3);
        QVERIFY(!f.project.isSaved());

        // Another row (here second.example has become the first) ...
        f.addLinking("third.example");
        f.project.appendRule({"one.example", "third.example", RuleType::LimitString, "t"});
        f.chooseRow(1);
        f.button("cmdDelLinking")->click();
        QCOMPARE(f.linkingUrls(0), QStringList({"second.example"}));
        // ... takes only its own Main Site's rules for its URL.
        QCOMPARE(f.project.rules().size(), 3);
        for (const Rule &r : f.project.rules())
            QVERIFY(r.remoteSite != "third.example");

        // Nothing chosen: nothing happens.
        f.list1()->clearSelection();
        f.button("cmdDelLinking")->click();
        QCOMPARE(f.linkingUrls(0), QStringList({"second.example"}));
    }

    void deletingTheOnlyMainSite()
    {
        Fixture f;
        f.addMain("only.example");
        f.addLinking("p.example");
        f.project.setRules({{"only.example", "Global", RuleType::LimitString, "x"},
                            {"Global", "Global", RuleType::LimitString, "g"}});
        f.project.appendResult(LinkResult{2, "only.example", "p.example", "Direct Link", "001", "p.example/"});
        f.project.setSaved(true);
        f.button("cmdDelMain")->click();
        QCOMPARE(f.project.mainSiteCount(), 0);
        QCOMPARE(f.project.currentMainSite(), -1);
        QVERIFY(need<QGroupBox>(&f.panel, "frameLinkingSites")->isHidden());
        QCOMPARE(f.project.rules().size(), 1); // the global rule stays
        QCOMPARE(f.project.results().size(), 1);
        QVERIFY(!f.project.isSaved());
        QVERIFY(!QFile::exists(f.env.path("quicksave.qsv")));
        // The Del button stays enabled; with nothing selected it does nothing.
        QVERIFY(f.button("cmdDelMain")->isEnabled());
        f.button("cmdDelMain")->click();
        QCOMPARE(f.project.mainSiteCount(), 0);
    }

    void deletingOneOfSeveralRebuildsThroughTheSnapshot()
    {
        Fixture f;
        QSignalSpy rebuilt(&f.panel, &WebsitesPanel::projectRebuilt);
        f.addMain("a.example");
        f.addLinking("la.example");
        f.addMain("b.example");
        f.addLinking("lb1.example");
        f.addLinking("lb2.example");
        f.addMain("c.example");
        f.project.setRules({{"b.example", "lb1.example", RuleType::LimitString, "x"},
                            {"a.example", "Global", RuleType::LimitString, "y"}});
        f.project.setLinkingSiteColour(0, 0, RowColour::Blue);
        f.project.setSaved(true);

        f.panel.selectMainSite(1);
        f.button("cmdDelMain")->click();
        QCOMPARE(f.project.mainSiteCount(), 2);
        QCOMPARE(f.project.mainSite(0).url, QString("a.example"));
        QCOMPARE(f.project.mainSite(1).url, QString("c.example"));
        QCOMPARE(f.linkingUrls(0), QStringList({"la.example"}));
        QCOMPARE(f.project.rules().size(), 1);
        QCOMPARE(f.project.rules().at(0).mainSite, QString("a.example"));
        // Rebuilt from the file: colours are gone, the first Main Site is current.
        QCOMPARE(f.project.linkingSites(0).at(0).colour, RowColour::Default);
        QCOMPARE(f.project.currentMainSite(), 0);
        QCOMPARE(f.list4()->count(), 2);
        QCOMPARE(f.list4()->currentRow(), 0);
        QCOMPARE(f.list1()->topLevelItemCount(), 1);
        QVERIFY(!f.project.isSaved());
        QVERIFY(QFile::exists(f.env.path("quicksave.qsv")));
        QVERIFY(!f.env.readFile("quicksave.qsv").contains("b.example"));
        QCOMPARE(rebuilt.count(), 1);
    }

    void sortingReordersTheProjectAndFlipsEveryClick()
    {
        Fixture f;
        f.addMain("m.example");
        for (const char *u : {"b.example", "C.example", "a.example"})
            f.addLinking(u);
        LinkingSite s = f.project.linkingSites(0).at(2);
        s.description = "zzz";
        f.project.updateLinkingSite(0, 2, s);
        QHeaderView *header = f.list1()->header();

        // The list counts as ascending from the start, as the results list
        // does: the first click sorts descending.
        emit header->sectionClicked(0);
        QCOMPARE(f.linkingUrls(0), QStringList({"C.example", "b.example", "a.example"}));
        QCOMPARE(f.list1()->topLevelItem(0)->text(0), QString("C.example"));
        emit header->sectionClicked(0);
        QCOMPARE(f.linkingUrls(0), QStringList({"a.example", "b.example", "C.example"}));
        // Another column continues the flipping: descending again.
        emit header->sectionClicked(4);
        QCOMPARE(f.linkingUrls(0).first(), QString("a.example"));
        QCOMPARE(f.list1()->topLevelItem(0)->text(4), QString("zzz"));
        // A row added afterwards goes to the end.
        f.addLinking("0.example");
        QCOMPARE(f.linkingUrls(0).last(), QString("0.example"));
    }
};

QTEST_MAIN(TestSiteLists)
#include "tst_sitelists.moc"
