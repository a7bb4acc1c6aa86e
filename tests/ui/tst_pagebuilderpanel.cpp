#include "UiTestMain.h"

#include "model/Project.h"
#include "outputs/widgets/PageBuilderPanel.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/TestEnv.h"
#include "ui/DialogService.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

using PT = Project::PageText;

class TestPageBuilderPanel : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<Project> m_project;
    std::unique_ptr<PageBuilderPanel> m_panel;

    SettingsStore &store() { return SettingsStore::instance(); }

    void make()
    {
        m_project = std::make_unique<Project>();
        m_panel = std::make_unique<PageBuilderPanel>(*m_project, DialogService::instance());
        m_panel->resize(800, 600);
        m_panel->show();
    }

    void addResult(const QString &main, const QString &remote, const QString &status)
    {
        m_project->appendResult(LinkResult{2, main, remote, status, "001", remote, RowColour::Blue});
    }

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>(); // a fresh settings store each time
        DialogService::instance().setAnswering(true);
    }

    void cleanup()
    {
        m_panel.reset();
        m_project.reset();
        m_env.reset();
    }

    void aFirstStartShowsTheDefaults()
    {
        make();
        QVERIFY(m_panel->newWindowBox()->isChecked());
        QVERIFY(!m_panel->bulletBox()->isChecked());
        QVERIFY(m_panel->allOption()->isChecked());
        QVERIFY(!m_panel->chooser()->isEnabled());
        QCOMPARE(m_panel->chooser()->currentText(), QStringLiteral("Select"));
        QCOMPARE(store().read(Keys::optAll, "?"), QStringLiteral("0"));
        QCOMPARE(m_project->htmlLinks(), ProjectDefaults::settingsHtmlLinks);
        QCOMPARE(m_panel->textArea(PT::Links)->toPlainText(), ProjectDefaults::settingsHtmlLinks);
        QCOMPARE(m_panel->textArea(PT::Before)->toPlainText(), ProjectDefaults::htmlBefore);
        QCOMPARE(m_panel->generateButton()->objectName(), QStringLiteral("Command5"));
        QCOMPARE(m_panel->saveButton()->text(), QStringLiteral("Save Webpage"));
    }

    void restoresTheRememberedFlagsAndTexts()
    {
        store().write(Keys::chkNewWin, "0");
        store().write(Keys::chkBullet, "1");
        store().write(Keys::optAll, "1");
        store().write(Keys::txtHTML1, "<html>\r\n<body>\r\n<ul>");
        store().write(Keys::txtHTML3, "</ul>\r\n</body>");
        make();
        QVERIFY(!m_panel->newWindowBox()->isChecked());
        QVERIFY(m_panel->bulletBox()->isChecked());
        QVERIFY(m_panel->allOption()->isChecked()); // always all Main Sites at start
        QCOMPARE(store().read(Keys::optAll, "?"), QStringLiteral("0"));
        QCOMPARE(m_panel->textArea(PT::Before)->toPlainText(), QStringLiteral("<html>\n<body>\n<ul>"));
        QCOMPARE(m_project->htmlBefore(), QStringLiteral("<html>\r\n<body>\r\n<ul>"));
        QCOMPARE(m_project->htmlAfter(), QStringLiteral("</ul>\r\n</body>"));
    }

    void typingGoesToTheProjectAndTheSettingsWithCrLf()
    {
        make();
        QPlainTextEdit *area = m_panel->textArea(PT::After);
        area->clear();
        QTest::keyClicks(area, "</ul>");
        QTest::keyClick(area, Qt::Key_Return);
        QTest::keyClicks(area, "</body>");
        QCOMPARE(m_project->htmlAfter(), QStringLiteral("</ul>\r\n</body>"));
        QCOMPARE(store().read(Keys::txtHTML3, "?"), QStringLiteral("</ul>\r\n</body>"));
        QCOMPARE(m_project->htmlBefore(), ProjectDefaults::htmlBefore); // the others stay

        // No-break spaces (an "&nbsp;" pasted as a character) stay what they are,
        // also when text elsewhere in the area is edited afterwards.
        const QString nbsp(QChar(0xA0));
        m_project->setPageText(PT::Before, "a" + nbsp + "b\r\nc" + nbsp);
        QTest::keyClick(m_panel->textArea(PT::Before), Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(m_panel->textArea(PT::Before), "d");
        QCOMPARE(m_project->htmlBefore(), "a" + nbsp + "b\r\nc" + nbsp + "d");
        QCOMPARE(store().read(Keys::txtHTML1, "?"), "a" + nbsp + "b\r\nc" + nbsp + "d");
    }

    void projectChangesComeBackToTheAreas()
    {
        make();
        m_project->setPageText(PT::Links, "<a href=\"http://x.example\">x</a><br><br>\r\n");
        QCOMPARE(m_panel->textArea(PT::Links)->toPlainText(), QStringLiteral("<a href=\"http://x.example\">x</a><br><br>\n"));
        QCOMPARE(store().read(Keys::txtHTML2, "?"), QStringLiteral("<a href=\"http://x.example\">x</a><br><br>\r\n"));
        m_project->clearProject(); // "New": the texts of a new project, mirrored too
        QCOMPARE(m_panel->textArea(PT::Links)->toPlainText(), ProjectDefaults::htmlLinks);
        QCOMPARE(store().read(Keys::txtHTML2, "?"), ProjectDefaults::htmlLinks);
    }

    void optionsAndCheckBoxesWriteTheirKeys()
    {
        make();
        m_panel->oneOption()->click();
        QVERIFY(m_panel->chooser()->isEnabled());
        QCOMPARE(store().read(Keys::optAll, "?"), QStringLiteral("1"));
        m_panel->allOption()->click();
        QVERIFY(!m_panel->chooser()->isEnabled());
        QCOMPARE(store().read(Keys::optAll, "?"), QStringLiteral("0"));
        m_panel->bulletBox()->click();
        QCOMPARE(store().read(Keys::chkBullet, "?"), QStringLiteral("1"));
        m_panel->newWindowBox()->click();
        QCOMPARE(store().read(Keys::chkNewWin, "?"), QStringLiteral("0"));
    }

    void chooserHoldsEachMainSiteOnceAfterEveryVisit()
    {
        make();
        m_project->addMainSite("one.example");
        m_project->addMainSite("two.example");
        m_panel->refillChooser();
        m_panel->refillChooser();
        QComboBox *c = m_panel->chooser();
        QCOMPARE(c->count(), 2);
        QCOMPARE(c->itemText(0), QStringLiteral("one.example"));
        QCOMPARE(c->itemText(1), QStringLiteral("two.example"));
        QCOMPARE(c->currentText(), QStringLiteral("Select"));
    }

    void generateLinksFillsTheMiddleArea()
    {
        make();
        m_panel->generateButton()->click();
        QCOMPARE(DialogService::instance().asked().size(), 1);
        QCOMPARE(DialogService::instance().asked().at(0).text,
                 QStringLiteral("No links were found in your Links List to generate HTML from.  Please scan for links first."));
        QCOMPARE(m_project->htmlLinks(), ProjectDefaults::settingsHtmlLinks);

        m_project->addMainSite("main.example");
        m_project->addMainSite("other.example");
        addResult("main.example", "partner.example", "Direct Link");
        addResult("other.example", "friend.example", "Redirect Link");
        addResult("main.example", "gone.example", "None Found");
        m_panel->newWindowBox()->setChecked(false);
        m_panel->generateButton()->click();
        const QString both = "<a href=\"http://partner.example\">partner.example</a><br><br>\r\n"
                             "<a href=\"http://friend.example\">friend.example</a><br><br>\r\n";
        QCOMPARE(m_project->htmlLinks(), both);
        QCOMPARE(store().read(Keys::txtHTML2, "?"), both);
        QCOMPARE(m_panel->textArea(PT::Links)->toPlainText(), QString(both).replace("\r\n", "\n"));

        // One Main Site, typed into the chooser; new window and bullets on.
        m_panel->oneOption()->click();
        m_panel->refillChooser();
        m_panel->chooser()->setEditText("other.example");
        m_panel->newWindowBox()->setChecked(true);
        m_panel->bulletBox()->setChecked(true);
        m_panel->generateButton()->click();
        QCOMPARE(m_project->htmlLinks(),
                 QStringLiteral("<li><a href=\"http://friend.example\" target=\"_blank\">friend.example</a></li><br><br>\r\n"));
    }

    void saveWebpageWritesTheThreePartsAsChosen()
    {
        make();
        m_project->setPageText(PT::Before, "<ul>");
        m_project->setPageText(PT::Links, "<li>x</li>");
        m_project->setPageText(PT::After, "</ul>");
        const QString target = m_env->path("links");
        DialogService::instance().queuePath(target);
        m_panel->saveButton()->click();
        const auto asked = DialogService::instance().asked();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).folder, m_env->programFolder());
        QCOMPARE(asked.at(0).text, QStringLiteral("Web Files (*.htm *.asp *.php *.html)"));
        QCOMPARE(m_env->readFile("links"), QByteArray("<ul>\r\n\r\n<li>x</li>\r\n\r\n</ul>\r\n")); // no extension added
        QVERIFY(!QFile::exists(target + ".htm"));

        // Replaced without a question; a cancelled dialog writes nothing.
        m_project->setPageText(PT::Links, "<li>y</li>");
        DialogService::instance().queuePath(target);
        m_panel->saveWebpage();
        QCOMPARE(m_env->readFile("links"), QByteArray("<ul>\r\n\r\n<li>y</li>\r\n\r\n</ul>\r\n"));
        DialogService::instance().clearAsked();
        m_panel->saveWebpage();
        QCOMPARE(DialogService::instance().asked().size(), 1); // only the dialog
    }

    void aPageThatCannotBeWrittenIsReported()
    {
        make();
        DialogService::instance().queuePath(m_env->path("no such folder/links.htm"));
        m_panel->saveWebpage();
        const auto asked = DialogService::instance().asked();
        QCOMPARE(asked.size(), 2);
        QVERIFY(asked.at(1).text.startsWith(QStringLiteral("Error: ")));
    }
};

RECIPLEX_UI_TEST_MAIN(TestPageBuilderPanel)
#include "tst_pagebuilderpanel.moc"
