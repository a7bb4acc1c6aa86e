#include "UiTestMain.h"

#include "import/widgets/ImportWindow.h"
#include "model/Project.h"
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
#include <QTabWidget>
#include <QTreeWidget>

#include <memory>

using Kind = ImportWindow::Kind;

namespace {

QStringList rows(const ImportWindow *w)
{
    QStringList out;
    for (int i = 0; i < w->resultsList()->topLevelItemCount(); ++i)
        out << w->resultsList()->topLevelItem(i)->text(0);
    return out;
}

QStringList linkingUrls(const Project &p, int main)
{
    QStringList out;
    for (const LinkingSite &s : p.linkingSites(main))
        out << s.url;
    return out;
}

QStringList messages()
{
    QStringList out;
    for (const auto &a : DialogService::instance().asked())
        if (a.kind == QLatin1String("message"))
            out << a.text;
    return out;
}

// Chooses a delimiter item as a click in the drop-down does.
void chooseDelimiter(QComboBox *box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

void closeAndForget(Kind kind)
{
    ImportWindow::closeWindow(kind);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestImportWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<Project> m_project;

    ImportWindow *open(Kind kind) { return ImportWindow::showWindow(kind, *m_project, DialogService::instance()); }

private slots:
    void init()
    {
        m_env = std::make_unique<TestEnv>();
        m_project = std::make_unique<Project>();
        DialogService::instance().setAnswering(true);
    }

    void cleanup()
    {
        closeAndForget(Kind::LinkingSites);
        closeAndForget(Kind::MainSites);
        if (PostingLogWindow *log = PostingLogWindow::existing())
            delete log;
        m_project.reset();
        m_env.reset();
    }

    void oneWindowOfEachKindWithItsOwnTexts()
    {
        ImportWindow *ls = open(Kind::LinkingSites);
        ImportWindow *ms = open(Kind::MainSites);
        QVERIFY(ls != ms);
        QCOMPARE(open(Kind::LinkingSites), ls);
        QCOMPARE(ls->windowTitle(), QStringLiteral("Import Linking Sites"));
        QCOMPARE(ms->windowTitle(), QStringLiteral("Import Main Sites"));
        QCOMPARE(ls->importButton()->toolTip(), QStringLiteral("Import linking sites from a file"));
        QCOMPARE(ms->importButton()->toolTip(), QStringLiteral("Import Main Sites from a file"));
        QCOMPARE(ls->getLinksButton()->toolTip(), QStringLiteral("Import linking sites from your website"));
        QVERIFY(ms->getLinksButton()->toolTip().isEmpty());
        QVERIFY(ls->addButton()->toolTip().isEmpty());
        QCOMPARE(ms->addButton()->toolTip(), QStringLiteral("Add the site you have entered above"));
        QCOMPARE(ls->tabs()->tabText(0), QStringLiteral("Get Links"));
        QCOMPARE(ls->tabs()->tabText(1), QStringLiteral("Post Links"));
        QCOMPARE(ls->tabs()->currentIndex(), 0);
        QCOMPARE(ls->resultsList()->headerItem()->text(0), QStringLiteral("Link URL"));
        QCOMPARE(ls->pageUrlBox()->text(), QStringLiteral("http://"));
        QCOMPARE(ls->delimiterBox()->currentText(), QStringLiteral("Select or Type a Delimiter"));
        QCOMPARE(ls->postPanel()->exampleButton()->text(), QStringLiteral("View Example URL"));
        QCOMPARE(ls->postPanel()->option(0)->text(),
                 QStringLiteral("Post results to one URL regardless of what Main Site the link is for:"));
    }

    void linkingSitesFileImportNeedsAMainSite()
    {
        m_env->writeFile("Project Files/sites.txt", "a.example\r\n");
        ImportWindow *w = open(Kind::LinkingSites);
        DialogService::instance().queuePath(m_env->path("Project Files/sites.txt"));
        w->importButton()->click();
        QCOMPARE(messages(), QStringList({"Please select a Main Site first."}));
        QCOMPARE(DialogService::instance().asked().size(), 1); // no file dialog either
        QCOMPARE(m_project->mainSiteCount(), 0);
    }

    void linkingSitesFileImportAddsToTheCurrentMainSite()
    {
        m_project->addMainSite("first.example");
        m_project->addMainSite("second.example");
        m_project->setCurrentMainSite(1);
        m_project->setSaved(true);
        m_env->writeFile("Project Files/sites.txt",
                         "a.example\r\n  b.example |3\r\n\r\n \r\nc.example|2|ignored\r\n   \r\nd.example\r\n"
                         "RESULT:c.com|1\r\nRULE:r.example");
        ImportWindow *w = open(Kind::LinkingSites);
        DialogService::instance().queuePath(m_env->path("Project Files/sites.txt"));
        w->importFile();
        const auto asked = DialogService::instance().asked();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.at(0).kind, QStringLiteral("open"));
        // Lines that the project file would read back as marker lines are named.
        QCOMPARE(asked.at(1).kind, QStringLiteral("message"));
        QVERIFY(asked.at(1).text.contains("\nRESULT:c.com\nRULE:r.example"));
        QCOMPARE(asked.at(0).folder, m_env->path("Project Files"));
        QCOMPARE(asked.at(0).text, QStringLiteral("Text Files (*.txt)"));
        QCOMPARE(linkingUrls(*m_project, 1), QStringList({"a.example", "b.example", "c.example", "", "d.example"}));
        QCOMPARE(m_project->linkingSites(1).at(1).linksExpected, QStringLiteral("3"));
        QCOMPARE(m_project->linkingSites(1).at(2).linksExpected, QStringLiteral("2"));
        QCOMPARE(m_project->linkingSites(1).at(0).linksExpected, QStringLiteral("1"));
        QVERIFY(m_project->linkingSites(0).isEmpty());
        QCOMPARE(w->statusText(), QStringLiteral("Added 5 link(s)"));
        QVERIFY(m_project->isSaved()); // importing is no edit
        QCOMPARE(m_project->currentMainSite(), 1);

        DialogService::instance().clearAsked();
        w->importFile(); // cancelled dialog: nothing
        QCOMPARE(m_project->linkingSites(1).size(), 5);
    }

    // "Import CSV": a backlink export, its summary in a message, the status
    // as the file import's; the Main Sites window has no such button.
    void backlinkExportImport()
    {
        m_project->addMainSite("http://www.mysite.com/links.htm");
        m_env->writeFile("Project Files/links.csv", "Source url,Target url\r\nhttps://a.example/p,https://mysite.com/\r\n"
                                                   "https://b.example/,https://elsewhere.example/\r\n");
        ImportWindow *w = open(Kind::LinkingSites);
        DialogService::instance().queuePath(m_env->path("Project Files/links.csv"));
        w->backlinksButton()->click();
        QCOMPARE(DialogService::instance().asked().at(0).text, QStringLiteral("Backlink exports (*.csv *.tsv *.txt)"));
        QCOMPARE(messages(), QStringList({"Added 1 Linking Site: 1 to http://www.mysite.com/links.htm.\n"
                                          "Not added: 1 row linking to none of your Main Sites: elsewhere.example (1)."}));
        QCOMPARE(w->statusText(), QStringLiteral("Added 1 link(s)"));
        QCOMPARE(linkingUrls(*m_project, 0), QStringList({"https://a.example/p"}));
        QVERIFY(!open(Kind::MainSites)->backlinksButton());
    }

    void mainSitesFileImportTakesLinesAsTheyAre()
    {
        m_env->writeFile("Project Files/mains.txt", "one.example\r\n  two.example|3\r\n \r\n\r\nthree.example\r\n");
        ImportWindow *w = open(Kind::MainSites);
        DialogService::instance().queuePath(m_env->path("Project Files/mains.txt"));
        w->importFile();
        QVERIFY(messages().isEmpty()); // no Main Site needed here
        QCOMPARE(m_project->mainSiteCount(), 3);
        QCOMPARE(m_project->mainSite(1).url, QStringLiteral("  two.example|3"));
        QVERIFY(m_project->linkingSites(1).isEmpty());
        QCOMPARE(w->statusText(), QStringLiteral("Added 3 site(s)"));
        QVERIFY(m_project->isSaved());
    }

    void advancedModeSplitsTheScriptsList()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setBody("<html><body><pre>one.example| two.example|three.example</pre>\r\n</body></html>");
        ImportWindow *w = open(Kind::LinkingSites);
        w->modeOption(1)->click();
        w->listUrlBox()->setText(server.baseUrl() + "/sites.php");

        w->getLinksButton()->click(); // the prompt is still there
        QCOMPARE(messages(), QStringList({"You must select a delimiter first"}));
        QVERIFY(server.requests().isEmpty());
        QVERIFY(rows(w).isEmpty());

        chooseDelimiter(w->delimiterBox(), 0); // "Vertical Bar Symbol"
        w->getLinks();
        QCOMPARE(server.targets(), QList<QByteArray>({"/sites.php"}));
        QCOMPARE(rows(w), QStringList({"one.example", "", "two.example", "three.example"}));
        QCOMPARE(w->statusText(), QStringLiteral("Finished Downloading - 4 links found."));

        // A typed delimiter of two characters works as one of one.
        server.setBody("<pre>x.example::y.example::z.example</pre>");
        w->delimiterBox()->lineEdit()->selectAll();
        QTest::keyClicks(w->delimiterBox()->lineEdit(), "::");
        QCOMPARE(SettingsStore::instance().read(Keys::getURLCombo, "?"), QStringLiteral("-1"));
        w->getLinks();
        QCOMPARE(rows(w), QStringList({"x.example", "y.example", "z.example"})); // the list starts afresh
    }

    void simpleModeListsTheOutgoingLinksOfALinksPage()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setBody("<html><body><a href=\"/about.htm\">About</a>\r\n"
                       "<a href=\"http://www.partner-one.com/\">One</a>\r\n"
                       "<a href='http://partner-two.net/links.html'>Two</a>\r\n"
                       "<a href=\"mailto:me@my-site.com\">Mail</a> <a href=\"http://partner-three.com/pic.jpg\">x</a>\r\n"
                       "<a href=\"http://www.partner-three.com/friends.htm\">Three</a>\r\n</body></html>\r\n");
        ImportWindow *w = open(Kind::LinkingSites);
        w->modeOption(0)->click();
        w->pageUrlBox()->setText(server.baseUrl() + "/links.htm");
        w->getLinks();
        const QStringList got = rows(w);
        QCOMPARE(got.size(), 4);
        QCOMPARE(got.last(), QString()); // the list ends with ","
        QCOMPARE(got.at(0), QStringLiteral("www.partner-one.com/"));
        QCOMPARE(w->statusText(), QStringLiteral("Finished Downloading - 4 links found."));
    }

    void addingSelectedRowsTwiceAddsThemTwice()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setBody("a.example,b.example, ,c.example");
        ImportWindow *w = open(Kind::MainSites); // the web part adds Linking Sites in both windows
        w->modeOption(1)->click();
        w->listUrlBox()->setText(server.baseUrl() + "/list");
        chooseDelimiter(w->delimiterBox(), 2); // "Comma"
        w->getLinks();
        QCOMPARE(rows(w), QStringList({"a.example", "b.example", "", "", "c.example"}));

        w->resultsList()->selectAll();
        w->addSelected();
        QCOMPARE(messages(), QStringList({"Please select a Main Site first."}));
        QCOMPARE(m_project->mainSiteCount(), 0);

        m_project->addMainSite("mine.example");
        m_project->setCurrentMainSite(0);
        m_project->setSaved(true);
        w->resultsList()->clearSelection();
        w->resultsList()->topLevelItem(0)->setSelected(true);
        w->resultsList()->topLevelItem(2)->setSelected(true);
        w->resultsList()->topLevelItem(4)->setSelected(true);
        w->addButton()->click();
        w->addButton()->click();
        QCOMPARE(linkingUrls(*m_project, 0), QStringList({"a.example", "c.example", "a.example", "c.example"}));
        QCOMPARE(w->resultsList()->selectedItems().size(), 3); // rows stay, selected
        QCOMPARE(rows(w).size(), 5);
        QVERIFY(m_project->isSaved());
    }

    void rightButtonReleaseSelectsEveryRow()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setBody("a.example|b.example|c.example");
        ImportWindow *w = open(Kind::LinkingSites);
        w->modeOption(1)->click();
        w->listUrlBox()->setText(server.baseUrl() + "/l");
        chooseDelimiter(w->delimiterBox(), 0);
        w->getLinks();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QWidget *viewport = w->resultsList()->viewport();
        QTest::mouseRelease(viewport, Qt::RightButton, {}, QPoint(5, viewport->height() - 3));
        QCOMPARE(w->resultsList()->selectedItems().size(), 3);
    }

    void aSecondGetLinksDuringARunDoesNothing()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        ImportWindow *w = open(Kind::LinkingSites);
        ImportWindow *other = open(Kind::MainSites);
        int nested = 0;
        server.setResponder([&](const RecordingHttpServer::Request &) {
            // The download is waiting for this answer: press again in both windows.
            if (nested++ == 0) {
                w->getLinksButton()->click();
                other->getLinks();
            }
            RecordingHttpServer::Response r;
            r.body = "a.example!b.example";
            return r;
        });
        for (ImportWindow *win : {w, other}) {
            win->modeOption(1)->click();
            win->listUrlBox()->setText(server.baseUrl() + "/l");
            chooseDelimiter(win->delimiterBox(), 3); // "Exclamation Point"
        }
        w->getLinks();
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(rows(w), QStringList({"a.example", "b.example"}));
        QVERIFY(rows(other).isEmpty());
    }

    void closingDuringARunWaitsForItsEnd()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        QPointer<ImportWindow> w = open(Kind::LinkingSites);
        server.setResponder([&](const RecordingHttpServer::Request &) {
            w->close();
            RecordingHttpServer::Response r;
            r.body = "a.example|b.example";
            return r;
        });
        w->modeOption(1)->click();
        w->listUrlBox()->setText(server.baseUrl() + "/l");
        chooseDelimiter(w->delimiterBox(), 0);
        w->getLinks();
        QVERIFY(w); // still there while the run unwinds
        QVERIFY(!w->isVisible());
        QVERIFY(!ImportWindow::existing(Kind::LinkingSites));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!w);
        ImportWindow *again = open(Kind::LinkingSites);
        QVERIFY(rows(again).isEmpty()); // a new window, an empty list
    }

    void rememberedKeysAreSharedAndRestored()
    {
        ImportWindow *w = open(Kind::LinkingSites);
        w->modeOption(1)->click();
        w->pageUrlBox()->setText("http://my-site.example/links.htm");
        w->listUrlBox()->setText("http://my-site.example/list.php");
        chooseDelimiter(w->delimiterBox(), 1);
        w->postPanel()->templateBox()->setText("http://my-site.example/in.php?s=$Status");
        SettingsStore &s = SettingsStore::instance();
        QCOMPARE(s.read(Keys::getUrlOption, "?"), QStringLiteral("1"));
        QCOMPARE(s.read(Keys::getURL1, "?"), QStringLiteral("http://my-site.example/links.htm"));
        QCOMPARE(s.read(Keys::getURL2, "?"), QStringLiteral("http://my-site.example/list.php"));
        QCOMPARE(s.read(Keys::getURLCombo, "?"), QStringLiteral("1"));
        QCOMPARE(s.read(Keys::getURL3, "?"), QStringLiteral("http://my-site.example/in.php?s=$Status"));

        ImportWindow *ms = open(Kind::MainSites); // the other window reads the same keys
        QVERIFY(ms->modeOption(1)->isChecked());
        QCOMPARE(ms->pageUrlBox()->text(), QStringLiteral("http://my-site.example/links.htm"));
        QCOMPARE(ms->listUrlBox()->text(), QStringLiteral("http://my-site.example/list.php"));
        QCOMPARE(ms->delimiterBox()->currentText(), QStringLiteral("Percent Symbol"));
        QCOMPARE(ms->postPanel()->templateBox()->text(), QStringLiteral("http://my-site.example/in.php?s=$Status"));
    }

    void postLinksUsesTheWindowsOwnScriptUrl()
    {
        RecordingHttpServer server;
        QVERIFY(server.listen());
        server.setBody("thanks");
        m_project->addMainSite("mine.example");
        m_project->addMainSite("other.example");
        m_project->addScriptTarget({"mine.example", server.baseUrl() + "/project-target?x=$Status"});
        m_project->appendResult(LinkResult{2, "mine.example", "a.example", "Direct Link", "001", "a.example/l.htm",
                                           RowColour::Blue});
        ImportWindow *w = open(Kind::LinkingSites);
        PostPanel *post = w->postPanel();
        QCOMPARE(post->siteChooser()->count(), 2);
        QCOMPARE(post->siteChooser()->currentText(), QStringLiteral("mine.example")); // the first is chosen

        // Its own targets: no test of the chooser, not the project's.
        post->option(1)->click();
        QCOMPARE(SettingsStore::instance().read(Keys::optScript, "?"), QStringLiteral("1"));
        post->siteChooser()->setEditText("Select");
        post->addTarget();
        QCOMPARE(post->targetList()->topLevelItemCount(), 1);
        QCOMPARE(m_project->scriptTargets().size(), 1);

        // Whatever the option, the "My Script URL:" box is the template.
        post->templateBox()->setText(server.baseUrl() + "/mine?site=$LinkingSite&on=$FoundOn");
        post->postButton()->click();
        QCOMPARE(server.targets(), QList<QByteArray>({"/mine?site=a.example&on=a.example%2Fl.htm"}));
        QCOMPARE(w->statusText(), QStringLiteral("Sending Site 1: a.example"));
        QVERIFY(PostingLogWindow::existing()->logText().endsWith("\r\nReturned: thanks\r\n"));

        post->showVariables();
        QCOMPARE(DialogService::instance().asked().last().title, QStringLiteral("URL Variables"));
    }
};

RECIPLEX_UI_TEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
