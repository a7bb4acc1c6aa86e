#include "UiTestMain.h"

#include "model/Project.h"
#include "outputs/PostingHelp.h"
#include "outputs/widgets/PostPanel.h"
#include "outputs/widgets/PostingLogWindow.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"
#include "ui/DialogService.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <memory>

class TestPostPanel : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<Project> m_project;
    std::unique_ptr<PostPanel> m_panel;
    QStringList m_status;

    void make()
    {
        m_project = std::make_unique<Project>();
        m_panel = std::make_unique<PostPanel>(PostPanel::Kind::Main, *m_project, DialogService::instance(),
                                              [this](const QString &t) { m_status << t; });
        m_panel->resize(700, 500);
        m_panel->show();
    }

    void addResult(const QString &main, const QString &remote, const QString &status, const QString &url)
    {
        m_project->appendResult(LinkResult{2, main, remote, status, "001", url, RowColour::Blue});
    }

    static QList<QByteArray> targets(const RecordingHttpServer &server) { return server.targets(); }

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        DialogService::instance().setAnswering(true);
        m_status.clear();
    }

    void cleanup()
    {
        if (PostingLogWindow *log = PostingLogWindow::existing())
            delete log;
        m_panel.reset();
        m_project.reset();
        m_env.reset();
    }

    void modeZeroEnablesOnlyTheOneUrl()
    {
        make();
        QVERIFY(m_panel->option(0)->isChecked());
        QCOMPARE(m_panel->templateBox()->objectName(), QStringLiteral("txtPost"));
        QCOMPARE(m_panel->templateBox()->text(), QStringLiteral("http://"));
        QCOMPARE(m_panel->siteChooser()->currentText(), QStringLiteral("Select"));
        QVERIFY(m_panel->templateBox()->isEnabled());
        for (QWidget *w : {static_cast<QWidget *>(m_panel->targetList()), static_cast<QWidget *>(m_panel->addButton()),
                           static_cast<QWidget *>(m_panel->deleteButton()), static_cast<QWidget *>(m_panel->siteChooser()),
                           static_cast<QWidget *>(m_panel->targetUrlBox())})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
    }

    void modeClicksWriteTheKeyAndSwitchTheControls()
    {
        make();
        m_panel->option(1)->click();
        QCOMPARE(SettingsStore::instance().read(Keys::optScript, "?"), QStringLiteral("1"));
        QVERIFY(!m_panel->templateBox()->isEnabled());
        QVERIFY(m_panel->targetList()->isEnabled());
        QVERIFY(m_panel->addButton()->isEnabled());
        QVERIFY(m_panel->siteChooser()->isEnabled());
        QVERIFY(m_panel->targetUrlBox()->isEnabled());
        QVERIFY(!m_panel->deleteButton()->isEnabled()); // until a row is clicked

        // The next start restores the mode.
        m_panel.reset();
        make();
        QVERIFY(m_panel->option(1)->isChecked());
        QVERIFY(!m_panel->templateBox()->isEnabled());
        m_panel->option(0)->click();
        QCOMPARE(SettingsStore::instance().read(Keys::optScript, "?"), QStringLiteral("0"));
        QVERIFY(!m_panel->addButton()->isEnabled());
    }

    void targetsAreAddedAndDeleted()
    {
        make();
        m_project->addMainSite("one.example");
        m_project->addMainSite("two.example");
        m_panel->setMode(1);
        m_panel->refillChooser();
        m_panel->refillChooser();
        QCOMPARE(m_panel->siteChooser()->count(), 2);

        m_panel->addButton()->click(); // still "Select": nothing
        m_panel->siteChooser()->setEditText(QString());
        m_panel->addTarget();
        QVERIFY(m_project->scriptTargets().isEmpty());

        m_panel->siteChooser()->setCurrentIndex(1);
        m_panel->targetUrlBox()->setText("http://127.0.0.1/two.php?s=$Status");
        m_panel->addButton()->click();
        QTest::keyClick(m_panel->targetUrlBox(), Qt::Key_Return); // Enter adds too, duplicates allowed
        QCOMPARE(m_project->scriptTargets().size(), 2);
        QCOMPARE(m_project->scriptTargets().at(0).mainSite, QStringLiteral("two.example"));
        QCOMPARE(m_project->scriptTargets().at(0).scriptUrl, QStringLiteral("http://127.0.0.1/two.php?s=$Status"));
        QCOMPARE(m_panel->targetList()->topLevelItemCount(), 2);
        QCOMPARE(m_panel->targetList()->topLevelItem(1)->text(0), QStringLiteral("two.example"));

        m_panel->siteChooser()->setEditText("three.example");
        m_panel->targetUrlBox()->setText("http://127.0.0.1/three.php");
        m_panel->addTarget();
        QCOMPARE(m_project->scriptTargets().size(), 3);

        QTreeWidget *list = m_panel->targetList();
        m_panel->deleteTarget(); // nothing selected: nothing happens
        QCOMPARE(m_project->scriptTargets().size(), 3);
        const QRect r = list->visualItemRect(list->topLevelItem(1));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QVERIFY(m_panel->deleteButton()->isEnabled());
        m_panel->deleteButton()->click();
        QCOMPARE(m_project->scriptTargets().size(), 2);
        QCOMPARE(m_project->scriptTargets().at(1).mainSite, QStringLiteral("three.example"));
        QVERIFY(m_project->isSaved()); // targets are no edit of the site lists
    }

    void scriptUrlBoxIsTheProjectsScriptUrl()
    {
        make();
        m_panel->templateBox()->setText("http://127.0.0.1/p.php?x=$MainSite");
        QCOMPARE(m_project->scriptUrl(), QStringLiteral("http://127.0.0.1/p.php?x=$MainSite"));
        m_project->addMainSite("one.example");
        m_panel->refillChooser();
        m_project->clearProject();
        QCOMPARE(m_panel->templateBox()->text(), QStringLiteral("http://"));
        QCOMPARE(m_panel->siteChooser()->count(), 0);
    }

    void helpTextsGoThroughTheDialogService()
    {
        make();
        m_panel->variablesButton()->click();
        m_panel->templateBox()->setText("http://scripts.example/in.php?a=$MainSite&b=$Status");
        m_panel->exampleButton()->click();
        const auto asked = DialogService::instance().asked();
        QCOMPARE(asked.size(), 2);
        const HelpText vars = urlVariablesHelp(PostingWindow::Main);
        QCOMPARE(asked.at(0).title, vars.title);
        QCOMPARE(asked.at(0).text, vars.text);
        const HelpText example = urlExampleHelp(PostingWindow::Main, "http://scripts.example/in.php?a=$MainSite&b=$Status");
        QCOMPARE(asked.at(1).title, example.title);
        QCOMPARE(asked.at(1).text, example.text);
        QVERIFY(asked.at(1).text.contains("a=my-main-site.example&&\r\nb=True"));
    }

    void noResultsSaysSoAndShowsTheLog()
    {
        make();
        m_panel->postButton()->click();
        QCOMPARE(m_status, QStringList({"You must perform a scan for reciprocal links first"}));
        QVERIFY(PostingLogWindow::existing());
        QVERIFY(PostingLogWindow::existing()->isVisible());
        QCOMPARE(PostingLogWindow::existing()->logText(), QString());
    }

    void postsEveryRowToTheOneUrl()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setResponder([](const RecordingHttpServer::Request &r) {
            RecordingHttpServer::Response resp;
            resp.body = r.target.contains("remote=b.example") ? QByteArray("stored\r\nok") : QByteArray();
            return resp;
        });
        make();
        addResult("main.example", "a.example/links page.htm", "Direct Link", "http://a.example/links page.htm");
        addResult("main.example", "b.example", "None Found (Timeout)", "b.example");
        addResult("main.example", "c.example", "Missing 001", "c.example");
        addResult("main.example", "d.example", "Redirect Link", "d.example/x");
        const QString tpl = server.baseUrl() + "/getlinks.php?site=$MainSite&remote=$LinkingSite&ok=$status&on=$FOUNDON";
        m_panel->templateBox()->setText(tpl);
        m_panel->postButton()->click();

        QCOMPARE(targets(server),
                 QList<QByteArray>({"/getlinks.php?site=main.example&remote=a.example%2Flinks+page.htm&ok=True"
                                    "&on=http://a.example%2Flinks+page.htm",
                                    "/getlinks.php?site=main.example&remote=b.example&ok=False&on=b.example",
                                    "/getlinks.php?site=main.example&remote=d.example&ok=True&on=d.example%2Fx"}));
        QCOMPARE(m_status.last(), QStringLiteral("Sending Site 4: d.example"));
        const QString base = server.baseUrl();
        const QString expectedLog =
            "\r\nURL: " + base + "/getlinks.php?site=main.example&remote=a.example%2Flinks+page.htm&ok=True&on=http://a.example%2Flinks+page.htm\r\n"
            "\r\nURL: " + base + "/getlinks.php?site=main.example&remote=b.example&ok=False&on=b.example\r\n"
            "\r\nReturned: stored\r\nok\r\n"
            "\r\nURL: " + base + "/getlinks.php?site=main.example&remote=d.example&ok=True&on=d.example%2Fx\r\n";
        QCOMPARE(PostingLogWindow::existing()->logText(), expectedLog);

        // The log grows with the next run while it stays open.
        m_panel->postLinks();
        QCOMPARE(PostingLogWindow::existing()->logText(), expectedLog + expectedLog);
        QVERIFY(m_project->isSaved());

        // Closed and created again, it starts empty.
        PostingLogWindow::existing()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!PostingLogWindow::existing());
        m_project->clearResults();
        m_panel->postLinks();
        QCOMPARE(PostingLogWindow::existing()->logText(), QString());
    }

    void perMainSiteModeUsesTheProjectsTargets()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        make();
        m_project->addScriptTarget({" one.example ", server.baseUrl() + "/one?s=$LinkingSite&st=$Status"});
        m_project->addScriptTarget({"two.example", " "}); // a blank URL: its rows are skipped
        addResult("one.example", "a.example", "Domain Link", "a.example");
        addResult("two.example", "b.example", "Direct Link", "b.example");
        addResult("three.example", "c.example", "Direct Link", "c.example");
        addResult("one.example", "d.example", "Direct Link", "d.example");
        m_panel->setMode(1);
        m_panel->postLinks();
        QCOMPARE(targets(server), QList<QByteArray>({"/one?s=a.example&st=False", "/one?s=d.example&st=True"}));
        QCOMPARE(m_status, QStringList({"Sending Site 1: a.example", "Sending Site 4: d.example"}));
    }

    void aSecondPressDuringARunDoesNothing()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        m_project = std::make_unique<Project>();
        addResult("m.example", "a.example", "Direct Link", "a.example");
        addResult("m.example", "b.example", "Direct Link", "b.example");
        // The status of the first row arrives while the run is in progress:
        // press "Post Links Now" again right then.
        bool pressed = false;
        m_panel = std::make_unique<PostPanel>(PostPanel::Kind::Main, *m_project, DialogService::instance(),
                                              [&, this](const QString &t) {
                                                  m_status << t;
                                                  if (!pressed) {
                                                      pressed = true;
                                                      QVERIFY(m_panel->isPosting());
                                                      m_panel->postButton()->click();
                                                  }
                                              });
        QSignalSpy started(m_panel.get(), &PostPanel::postingStarted);
        m_panel->templateBox()->setText(server.baseUrl() + "/p?r=$LinkingSite");
        m_panel->postLinks();
        QVERIFY(pressed);
        QCOMPARE(started.count(), 1);
        QCOMPARE(targets(server), QList<QByteArray>({"/p?r=a.example", "/p?r=b.example"}));
        QCOMPARE(m_status, QStringList({"Sending Site 1: a.example", "Sending Site 2: b.example"}));
        QVERIFY(!m_panel->isPosting());
    }
};

RECIPLEX_UI_TEST_MAIN(TestPostPanel)
#include "tst_postpanel.moc"
