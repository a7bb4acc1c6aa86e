#include "model/Project.h"
#include "model/ProjectStorage.h"
#include "model/SiteEditing.h"
#include "support/TestEnv.h"
#include "ui/DialogService.h"
#include "ui/EntryEditor.h"
#include "UiFind.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>

// The three editors: what they list, Add Rule with its two refusals, and the
// OK and Cancel paths into the project.
class TestEditors : public QObject
{
    Q_OBJECT

    static void addRule(EntryEditor *e, int type, const QString &value)
    {
        if (type >= 0)
            need<QRadioButton>(e, QByteArray("optRule" + QByteArray::number(type)).constData())->setChecked(true);
        auto *box = need<QLineEdit>(e, "txtRuleValue");
        box->setText(value);
        QTest::keyClick(box, Qt::Key_Return);
    }
    static QStringList row(EntryEditor *e, int i)
    {
        QTreeWidgetItem *item = need<QTreeWidget>(e, "lstRules")->topLevelItem(i);
        return {item->text(0), item->text(1), item->text(2), item->text(3)};
    }
    static int rows(EntryEditor *e) { return need<QTreeWidget>(e, "lstRules")->topLevelItemCount(); }

    static void fill(Project &p)
    {
        p.addMainSite("main.example");
        p.addMainSite("Global");
        p.addLinkingSite(0, "partner.example");
        p.addLinkingSite(0, "other.example");
        p.setRules({{"Global", "Global", RuleType::LimitString, "g1"},
                    {"main.example", "partner.example", RuleType::ExcludeDirectory, "ls1"},
                    {"main.example", "Global", RuleType::LimitRoot, "ms1"},
                    {"main.example", "other.example", RuleType::ExcludeString, "other"},
                    {"main.example", "partner.example", RuleType::LimitDirectory, "ls2"},
                    {"Main.example", "Global", RuleType::LimitRoot, "case differs"}});
        p.setSaved(true);
    }

private slots:
    void init()
    {
        DialogService::instance().setAnswering(true);
    }
    void cleanup()
    {
        EntryEditor::closeAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void linkingSiteEditorOkStoresColumnsAndReplacesScope()
    {
        TestEnv env;
        Project p;
        fill(p);
        EntryEditor *e = EntryEditor::openLinkingSite(p, 0, 0);
        QVERIFY(e);
        QCOMPARE(e->windowTitle(), QString("Edit an entry"));
        QCOMPARE(need<QLineEdit>(e, "txtUrl")->text(), QString("partner.example"));
        QCOMPARE(need<QLineEdit>(e, "txtLinksExpected")->text(), QString("1"));
        QCOMPARE(rows(e), 2);
        QCOMPARE(row(e, 0), QStringList({"main.example", "partner.example", "ExcludeDirectory", "ls1"}));
        QCOMPARE(row(e, 1), QStringList({"main.example", "partner.example", "LimitDirectory", "ls2"}));

        // Only one linking-site editor at a time: asking again brings this one back.
        QCOMPARE(EntryEditor::openLinkingSite(p, 0, 1), e);

        // A rule added after renaming carries the new URL; two spaces are a value.
        need<QLineEdit>(e, "txtUrl")->setText("renamed.example");
        addRule(e, 2, "  ");
        QCOMPARE(row(e, 2), QStringList({"main.example", "renamed.example", "LimitString", "  "}));
        QCOMPARE(need<QLineEdit>(e, "txtRuleValue")->text(), QString());
        // Delete the first listed rule.
        need<QTreeWidget>(e, "lstRules")->setCurrentItem(need<QTreeWidget>(e, "lstRules")->topLevelItem(0));
        need<QPushButton>(e, "cmdDeleteRule")->click();
        QCOMPARE(rows(e), 2);

        need<QLineEdit>(e, "txtLinksExpected")->setText("many");
        need<QLineEdit>(e, "txtDescription")->setText("desc");
        QTest::keyClick(need<QLineEdit>(e, "txtDescription"), Qt::Key_Return); // does nothing
        QVERIFY(EntryEditor::openWindow(EntryEditor::Kind::LinkingSite));
        QTest::keyClick(need<QLineEdit>(e, "txtLinkPageText"), Qt::Key_Return); // OK
        QVERIFY(!EntryEditor::openWindow(EntryEditor::Kind::LinkingSite));

        const LinkingSite &s = p.linkingSites(0).at(0);
        QCOMPARE(s.url, QString("renamed.example"));
        QCOMPARE(s.linksExpected, QString("many"));
        QCOMPARE(s.description, QString("desc"));
        QVERIFY(!p.isSaved());
        // The old scope's rules are gone; the working list stands at the end, in order.
        const QList<Rule> &r = p.rules();
        QCOMPARE(r.size(), 6);
        QCOMPARE(r.at(0).ruleValue, QString("g1"));
        QCOMPARE(r.at(1).ruleValue, QString("ms1"));
        QCOMPARE(r.at(2).ruleValue, QString("other"));
        QCOMPARE(r.at(3).ruleValue, QString("case differs"));
        QCOMPARE(r.at(4), (Rule{"main.example", "partner.example", "LimitDirectory", "ls2"}));
        QCOMPARE(r.at(5), (Rule{"main.example", "renamed.example", "LimitString", "  "}));
    }

    // The editor stays with the row it was opened for while the row moves or
    // changes under it; a row that is really gone is said so.
    void editorStaysBoundToItsRow()
    {
        TestEnv env;
        Project p;
        fill(p);
        p.addLinkingSite(1, "under-global.example");
        EntryEditor *e = EntryEditor::openLinkingSite(p, 0, 1); // other.example
        need<QLineEdit>(e, "txtDescription")->setText("edited");
        // A scan with chkUpdate replaces the URL, the list is sorted, the other
        // editor renames the Main Site, and another Main Site is deleted.
        p.setLinkingSiteUrl(0, 1, "other.example/links.htm");
        p.setLinkingSites(0, {p.linkingSites(0).at(1), p.linkingSites(0).at(0)});
        p.renameMainSite(0, "renamed.example");
        QVERIFY(ProjectStorage::rebuildWithoutMainSite(p, 1));
        need<QPushButton>(e, "cmdOK")->click();
        QVERIFY(!EntryEditor::openWindow(EntryEditor::Kind::LinkingSite));
        QCOMPARE(p.linkingSites(0).at(0).description, QString("edited"));
        QCOMPARE(p.linkingSites(0).at(0).url, QString("other.example")); // the box as it stood
        QVERIFY(p.linkingSites(0).at(1).description.isEmpty());
        QVERIFY(askedMessages().isEmpty());

        // A URL the project file would read back as a marker line is refused.
        e = EntryEditor::openLinkingSite(p, 0, 1);
        need<QLineEdit>(e, "txtUrl")->setText("RULE:x");
        need<QPushButton>(e, "cmdOK")->click();
        QVERIFY(EntryEditor::openWindow(EntryEditor::Kind::LinkingSite));
        QCOMPARE(askedMessages().size(), 1);
        QVERIFY(askedMessages().last().contains("\"RULE:\""));
        QCOMPARE(p.linkingSites(0).at(1).url, QString("partner.example"));

        // The row deleted while open: nothing is stored, the window stays.
        SiteEditing::deleteLinkingSite(p, 0, 1);
        p.setSaved(true);
        need<QLineEdit>(e, "txtUrl")->setText("kept.example");
        need<QPushButton>(e, "cmdOK")->click();
        QVERIFY(EntryEditor::openWindow(EntryEditor::Kind::LinkingSite));
        QCOMPARE(askedMessages().size(), 2);
        QCOMPARE(askedMessages().last(), QString("This Linking Site is no longer in the project, so the changes "
                                                 "cannot be stored."));
        QCOMPARE(p.linkingSites(0).size(), 1);
        QVERIFY(p.isSaved());

        // The same for a Main Site.
        EntryEditor *m = EntryEditor::openMainSite(p, 0);
        need<QLineEdit>(m, "txtMainUrl")->setText("new.example");
        p.addMainSite("first-again.example");
        QVERIFY(ProjectStorage::rebuildWithoutMainSite(p, 0));
        need<QPushButton>(m, "cmdOK")->click();
        QVERIFY(EntryEditor::openWindow(EntryEditor::Kind::MainSite));
        QCOMPARE(askedMessages().last(), QString("This Main Site is no longer in the project, so the changes "
                                                 "cannot be stored."));
        QCOMPARE(p.mainSite(0).url, QString("first-again.example"));
    }

    void addRuleRefusals()
    {
        TestEnv env;
        Project p;
        fill(p);
        EntryEditor *e = EntryEditor::openGlobal(p);
        addRule(e, -1, "value without a type");
        // The refused value stays in the box for the user to finish.
        QCOMPARE(need<QLineEdit>(e, "txtRuleValue")->text(), QString("value without a type"));
        addRule(e, 1, " ");
        const auto &asked = DialogService::instance().asked();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.at(0).title, QString());
        QCOMPARE(asked.at(0).text, QString("Please select a rule type before adding a rule."));
        QCOMPARE(asked.at(1).title, QString("Error"));
        QCOMPARE(asked.at(1).text, QString("Please enter a rule to add."));
        QCOMPARE(rows(e), 1);
    }

    void globalEditorListsBothGlobalColumnsAndCancelChangesNothing()
    {
        TestEnv env;
        Project p;
        fill(p);
        p.appendRule({"Global", "Global", RuleType::ExcludeRoot, "g2"});
        const QList<Rule> before = p.rules();
        EntryEditor *e = EntryEditor::openGlobal(p);
        QCOMPARE(e->windowTitle(), QString("Global Rules Editor"));
        QCOMPARE(rows(e), 2);
        addRule(e, 5, "/tmp");
        QCOMPARE(row(e, 2), QStringList({"Global", "Global", "ExcludeRoot", "/tmp"}));
        need<QTreeWidget>(e, "lstRules")->setCurrentItem(need<QTreeWidget>(e, "lstRules")->topLevelItem(0));
        need<QPushButton>(e, "cmdDeleteRule")->click();
        need<QPushButton>(e, "cmdCancel")->click();
        QCOMPARE(p.rules(), before);
        QVERIFY(p.isSaved());

        // OK with an unchanged list moves the scope's rules to the end.
        e = EntryEditor::openGlobal(p);
        need<QPushButton>(e, "cmdOK")->click();
        QCOMPARE(p.rules().size(), before.size());
        QCOMPARE(p.rules().at(p.rules().size() - 2).ruleValue, QString("g1"));
        QCOMPARE(p.rules().last().ruleValue, QString("g2"));
        QVERIFY(!p.isSaved());
    }

    void mainSiteEditorRenamesButKeepsRuleTexts()
    {
        TestEnv env;
        Project p;
        fill(p);
        EntryEditor *e = EntryEditor::openMainSite(p, 0);
        QCOMPARE(need<QLineEdit>(e, "txtMainUrl")->text(), QString("main.example"));
        QCOMPARE(rows(e), 1);
        QCOMPARE(row(e, 0), QStringList({"main.example", "Global", "LimitRoot", "ms1"}));
        // Each kind has its own single window.
        QVERIFY(EntryEditor::openGlobal(p) != e);
        need<QLineEdit>(e, "txtMainUrl")->setText("new.example");
        addRule(e, 0, "dir");
        QCOMPARE(row(e, 1), QStringList({"main.example", "Global", "LimitDirectory", "dir"}));
        QTest::keyClick(need<QLineEdit>(e, "txtMainUrl"), Qt::Key_Return);
        QCOMPARE(p.mainSite(0).url, QString("new.example"));
        QCOMPARE(p.rules().last(), (Rule{"main.example", "Global", "LimitDirectory", "dir"}));
        QCOMPARE(p.rules().at(p.rules().size() - 2).ruleValue, QString("ms1"));
        // Linking-site rules keep the old Main Site text.
        QCOMPARE(p.scopeRules(Project::Scope::LinkingSite, "main.example", "partner.example").size(), 2);
    }
};

QTEST_MAIN(TestEditors)
#include "tst_editors.moc"
