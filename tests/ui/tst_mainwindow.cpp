#include "model/ProjectFile.h"
#include "scan/ScanRun.h"
#include "settings/MachineWide.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestEnv.h"
#include "ui/BrowserView.h"
#include "ui/DialogService.h"
#include "ui/Identity.h"
#include "outputs/widgets/ReportsPanel.h"
#include "outputs/widgets/ResultsPanel.h"
#include "history/widgets/HistoryPanel.h"
#include "ui/MainWindow.h"
#include "ui/ProjectCommands.h"
#include "ui/WebsitesPanel.h"
#include "ui/WebTab.h"
#include "ui/WebsiteWindow.h"
#include "ui/WebsitesPanel.h"
#include "UiFind.h"

#include <QAction>
#include <QChartView>
#include <QLineSeries>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeView>
#include <QtTest>

// The Main Site mysite.example with one partner, 127.0.0.1, typed in.
static void typeSites(MainWindow &w)
{
    auto *domain = need<QLineEdit>(&w, "txtDomain");
    domain->setText("mysite.example");
    QTest::keyClick(domain, Qt::Key_Return);
    auto *text1 = need<QLineEdit>(&w, "Text1");
    text1->setText("http://127.0.0.1/");
    QTest::keyClick(text1, Qt::Key_Return);
}

// The main window as a whole: start-up from a prepared store, the first-start
// help, command states around a real scan on loopback, the tab choosers, and
// shut-down with its save question and the website window rule.
class TestMainWindow : public QObject
{
    Q_OBJECT

    static bool enabled(MainWindow &w, const char *name) { return need<QToolButton>(&w, name)->isEnabled(); }
    static QAction *menuItem(MainWindow &w, const QString &text)
    {
        for (QAction *a : w.findChildren<QAction *>())
            if (a->text() == text)
                return a;
        qFatal("menu item %s not found", qPrintable(text));
    }
    static int desktopOpens()
    {
        int n = 0;
        for (const auto &a : DialogService::instance().asked())
            n += a.kind == QLatin1String("desktop") ? 1 : 0;
        return n;
    }

private slots:
    void initTestCase() { BrowserView::setUseStandIn(true); }
    void init() { DialogService::instance().setAnswering(true); }

    void firstStartWithAnEmptyStore()
    {
        TestEnv env;
        MainWindow w;
        w.setQuitHandler([] {});
        w.startUp();
        QCOMPARE(w.windowTitle(), QString("Reciplex by ") + Identity::company());
        QCOMPARE(need<QToolButton>(&w, "cmdWebsite")->text(), QString("Visit ") + Identity::websiteName());
        auto *tabs = need<QTabWidget>(&w, "TabStrip1");
        QCOMPARE(tabs->currentIndex(), 0);
        const QStringList captions{"Links", "Web", "Pages", "Reports", "Post"};
        const QStringList tips{"View Link Results", "Visit Linking Sites", "Create link pages based on results",
                               "View Reports", "Post links to a database"};
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(tabs->tabText(i), captions.at(i));
            QCOMPARE(tabs->tabToolTip(i), tips.at(i));
        }
        for (const char *on : {"Command1", "Command10", "Command9", "cmdOpen", "cmdSave", "cmdNew", "cmdWebsite"})
            QVERIFY2(enabled(w, on), on);
        QVERIFY(!enabled(w, "cmdSkip") && !enabled(w, "cmdStop"));
        QVERIFY(menuItem(w, "Scan all main sites")->isChecked());
        QCOMPARE(SettingsStore::instance().read(Keys::ScanType, "absent"), QString("0"));
        QCOMPARE(SettingsStore::instance().read(Keys::SkipType, "absent"), QString("0"));
        QCOMPARE(w.pageLimit(), 500);
        QCOMPARE(w.project().htmlLinks(), ProjectDefaults::settingsHtmlLinks);
        QVERIFY(w.project().isSaved());
        // The maker's website has no real address: the user guide stands in,
        // and without a guide in the program folder the tab stays blank.
        QCOMPARE(w.webTab()->browser()->requestedUrl(), QString("about:blank"));
        QCOMPARE(w.reportBrowser()->requestedUrl(), QString("about:blank"));
        QCOMPARE(menuItem(w, "New Project")->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(menuItem(w, "Exit")->shortcut(), QKeySequence("Ctrl+Q"));
        // No help file in this program folder: nothing opened, but asked only once.
        QCOMPARE(desktopOpens(), 0);
        QCOMPARE(SettingsStore::instance().read(Keys::showHelp, "absent"), QString("0"));
    }

    void startUpRestoresAndReopensTheLastProject()
    {
        TestEnv env;
        {
            Project p;
            p.addMainSite("first.example");
            p.addLinkingSite(0, "partner.example");
            p.addMainSite("second.example");
            QVERIFY(ProjectFile::write(p, env.path("last.prj")));
        }
        SettingsStore &store = SettingsStore::instance();
        store.write(Keys::LastProject, env.path("last.prj"));
        store.write(Keys::ScanType, "1");
        store.write(Keys::SkipType, "1");
        store.write(Keys::cmbAdvance, "0");
        store.write(Keys::showHelp, "0");
        MainWindow w;
        QSignalSpy report(&w, &MainWindow::reportRebuildRequested);
        w.startUp();
        QVERIFY(menuItem(w, "Just scan the selected main site")->isChecked());
        QCOMPARE(w.engine().scanType(), 1);
        QCOMPARE(w.engine().skipType(), 1);
        QCOMPARE(w.pageLimit(), 1);
        QCOMPARE(w.project().mainSiteCount(), 2);
        QCOMPARE(need<QListWidget>(&w, "List4")->count(), 2);
        QCOMPARE(need<QListWidget>(&w, "List4")->currentRow(), 0);
        QCOMPARE(need<QTreeWidget>(&w, "List1")->topLevelItemCount(), 1);
        QVERIFY(w.project().isSaved());
        QCOMPARE(report.count(), 1);
        // The reopened project's report is what the Reports tab shows.
        QVERIFY(w.reportsPanel()->requestedUrl().endsWith("tempreport.html"));
        // The first change of the Main Site box after a read is not an edit; the next is.
        need<QLineEdit>(&w, "txtDomain")->setText("t");
        QVERIFY(w.project().isSaved());
        need<QLineEdit>(&w, "txtDomain")->setText("ty");
        QVERIFY(!w.project().isSaved());

        // A LastProject that cannot be read leaves an empty project and is kept.
        store.write(Keys::LastProject, env.path("gone.prj"));
        MainWindow w2;
        w2.startUp();
        QCOMPARE(w2.project().mainSiteCount(), 0);
        QCOMPARE(store.read(Keys::LastProject, ""), env.path("gone.prj"));
        QCOMPARE(w2.reportsPanel()->requestedUrl(), QString("about:blank"));
    }

    void helpOpensOnceAndMachineWideOnlyWithRights()
    {
        TestEnv env;
        env.writeFile("Help.html", "<html>guide</html>");
        {
            MainWindow w;
            w.startUp();
            QCOMPARE(w.webTab()->browser()->requestedUrl(), QUrl::fromLocalFile(env.path("Help.html")).toString());
        }
        QCOMPARE(desktopOpens(), 1);
        QVERIFY(DialogService::instance().asked().last().text.endsWith("Help.html"));
        QCOMPARE(SettingsStore::instance().read(Keys::showHelp, ""), QString("0"));
        // This test's machine-wide location is writable: the copy is there.
        QVERIFY(QFile(MachineWide::location(Identity::company())).exists());
        {
            MainWindow w;
            w.startUp();
        }
        QCOMPARE(desktopOpens(), 1); // not again
        // The help command opens it every time.
        {
            MainWindow w;
            w.startUp();
            menuItem(w, "View Help File")->trigger();
        }
        QCOMPARE(desktopOpens(), 2);
    }

    void noMachineWideRightsSkipsSilently()
    {
        TestEnv env;
        env.writeFile("Help.html", "<html>guide</html>");
        // A file where the machine-wide folder would have to be: no rights there,
        // whoever runs the test.
        QFile blocker(env.settingsFolder() + "/system");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!MachineWide::hasRights(Identity::company()));
        MainWindow w;
        w.startUp();
        QCOMPARE(desktopOpens(), 1);
        QVERIFY(askedMessages().isEmpty()); // no "Permission Denied"
        QCOMPARE(SettingsStore::instance().read(Keys::showHelp, ""), QString("0"));
        QCOMPARE(SettingsStore::instance().read(Keys::IgnorePermissionDeniedError, "absent"), QString("absent"));
    }

    void choosersRefillOnEveryTabSelection()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        MainWindow w;
        w.startUp();
        auto *combo3 = need<QComboBox>(&w, "Combo3");
        auto *sites = need<QComboBox>(&w, "cmbSites");
        w.project().addMainSite("a.example");
        w.project().addMainSite("b.example");
        auto *tabs = need<QTabWidget>(&w, "TabStrip1");
        for (int round = 0; round < 2; ++round) {
            tabs->setCurrentIndex(MainWindow::PagesTab);
            tabs->setCurrentIndex(MainWindow::PostTab);
            tabs->setCurrentIndex(MainWindow::LinksTab);
        }
        QCOMPARE(combo3->count(), 2);
        QCOMPARE(combo3->itemText(1), QString("b.example"));
        QCOMPARE(sites->count(), 2);

        w.openInWebTab("partner.example/page.html");
        QCOMPARE(tabs->currentIndex(), int(MainWindow::WebTabIndex));
        QCOMPARE(need<QLineEdit>(&w, "txtURL")->text(), QString("partner.example/page.html"));
        QCOMPARE(w.webTab()->browser()->requestedUrl(), QString("partner.example/page.html"));
        QVERIFY(w.webTab()->browser()->isSilent());
    }

    void commandStatesAroundAScanOnLoopback()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        SettingsStore::instance().write(Keys::chkAudioNext, "0");
        ScriptedHttpServer server;
        // The page arrives slowly, so the running state can be looked at.
        ScriptedReply reply;
        reply.pieces = {{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body>"},
                        {400, "<a href=\"http://www.mysite.example/\">me</a></body></html>"}};
        server.setReply(reply);

        MainWindow w;
        w.setQuitHandler([] {});
        w.startUp();
        w.engine().setPort(server.port());
        typeSites(w);
        QCOMPARE(w.project().linkingSites(0).at(0).url, QString("127.0.0.1/"));

        need<QToolButton>(&w, "Command1")->click();
        QVERIFY(w.engine().isScanning());
        QVERIFY(!enabled(w, "Command10"));
        QVERIFY(enabled(w, "cmdSkip") && enabled(w, "cmdStop"));
        for (const char *off : {"cmdNew", "cmdOpen", "cmdSave"})
            QVERIFY2(!enabled(w, off), off);
        QVERIFY(!menuItem(w, "Open Project")->isEnabled());
        QVERIFY(!need<QGroupBox>(&w, "frameWebsites")->isEnabled());
        QVERIFY(!w.project().isSaved());

        QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isScanning(), 10000);
        for (const char *on : {"Command1", "Command10", "cmdNew", "cmdOpen", "cmdSave"})
            QVERIFY2(enabled(w, on), on);
        QVERIFY(!enabled(w, "cmdSkip") && !enabled(w, "cmdStop"));
        QVERIFY(need<QGroupBox>(&w, "frameWebsites")->isEnabled());
        QCOMPARE(w.statusText(1), QString("Stopped"));
        QCOMPARE(w.statusText(2), QString());
        QCOMPARE(need<QProgressBar>(&w, "pb1")->value(), need<QProgressBar>(&w, "pb1")->maximum());
        QCOMPARE(need<QLabel>(&w, "lblLinkingSitesScanned")->text(), QString("1"));
        QCOMPARE(need<QLabel>(&w, "lblLinksFound")->text(), QString("1"));
        QCOMPARE(w.project().results().size(), 1);
        QCOMPARE(w.project().results().at(0).status, QString("Direct Link"));
        // The page, then the site's robots.txt for the link's notes (the
        // same reply: no rules, so no notes).
        QCOMPARE(server.requests().size(), 2);
        QVERIFY(server.requests().at(0).startsWith("GET / HTTP/1.1\r\n"));
        QVERIFY(server.requests().at(1).startsWith("GET /robots.txt HTTP/1.1\r\n"));
        QCOMPARE(w.project().results().at(0).notes, QString());

        // The stop rebuilt the report, and the Reports tab shows it.
        QVERIFY(w.reportsPanel()->requestedUrl().endsWith("tempreport.html"));
        const QByteArray report = env.readFile("tempreport.html");
        QVERIFY(report.contains("<tr><td><li>Direct Links</li></td><td> 1</td></tr>"));
        QVERIFY(report.contains("<h3>mysite.example</h3>"));
        // The results list shows the row the scan wrote.
        QCOMPARE(w.resultsPanel()->resultsList()->model()->rowCount(), 1);
    }

    // A link drawn by the page's script is found by drawing the page; its
    // row has the note "JavaScript" and a picture the popup menu shows.
    void linkDrawnByScript()
    {
        if (!QFileInfo::exists(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-render")))
            QSKIP("reciplex-render is not built here (the sanitizer build leaves the browser engine out)");
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        SettingsStore::instance().write(Keys::chkAudioNext, "0");
        SettingsStore::instance().write(Keys::ProofShots, "1");
        ScriptedHttpServer server;
        ScriptedReply reply;
        reply.pieces = {{0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><body><p id=p></p><script>"
                            "var a = document.createElement('a'); a.href = 'http://mysite' + '.example/';"
                            "a.textContent = 'drawn'; document.getElementById('p').appendChild(a);</script>"}};
        server.setReply(reply);

        MainWindow w;
        w.setQuitHandler([] {});
        w.startUp();
        w.engine().setPort(server.port());
        w.engine().setRenderProgram(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-render"));
        w.engine().setProofFolder(env.path("Proof"));
        typeSites(w);
        need<QToolButton>(&w, "Command1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isScanning(), 30000);

        QCOMPARE(w.project().results().size(), 1);
        const LinkResult row = w.project().results().at(0);
        QCOMPARE(row.status, QString("Direct Link"));
        QCOMPARE(row.notes, QString("JavaScript"));
        QCOMPARE(row.proof, env.path("Proof/mysite.example/127.0.0.1.png"));
        QVERIFY(QFileInfo::exists(row.proof));

        ResultsPanel *results = w.resultsPanel();
        results->resultsList()->setCurrentIndex(results->resultsList()->model()->index(0, 0));
        emit results->resultsMenu()->aboutToShow();
        QVERIFY(results->menuAction(ResultsPanel::ShowProof)->isEnabled());
        DialogService::instance().clearAsked();
        results->menuAction(ResultsPanel::ShowProof)->trigger();
        QCOMPARE(DialogService::instance().asked().size(), 1);
        QCOMPARE(DialogService::instance().asked().at(0).kind, QString("desktop"));
    }

    // A saved project keeps its scans beside it: the second scan tells what
    // was lost in the status bar, the report and the History tab.
    void savedProjectKeepsItsHistory()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        SettingsStore::instance().write(Keys::chkAudioNext, "0");
        ScriptedHttpServer server;
        ScriptedReply linked;
        linked.pieces = {{0, "HTTP/1.1 200 OK\r\n\r\n<a href=\"http://www.mysite.example/\">me</a>"}};
        server.setReply(linked);
        Project p;
        p.addLinkingSite(p.addMainSite("mysite.example"), "127.0.0.1/");
        const QString path = env.path("sites.prj");
        QVERIFY(ProjectFile::write(p, path));

        MainWindow w;
        w.setQuitHandler([] {});
        w.startUp();
        w.engine().setPort(server.port());
        w.projectCommands()->openFile(path);
        need<QToolButton>(&w, "Command1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isScanning(), 10000);
        QCOMPARE(w.statusText(1), QString("Stopped")); // nothing to compare with yet
        QVERIFY(QFile::exists(env.path("sites.history.sqlite")));

        // A server error: the page was not read, so the link is not lost.
        SettingsStore::instance().write("RetryDelay", "0");
        server.setReply(ScriptedReply::whole("HTTP/1.1 500 Internal Server Error\r\n\r\n"));
        need<QToolButton>(&w, "Command1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isScanning(), 10000);
        QCOMPARE(w.statusText(1), QString("Stopped: 1 partner not checked"));

        ScriptedReply notLinked;
        notLinked.pieces = {{0, "HTTP/1.1 200 OK\r\n\r\n<a href=\"http://elsewhere.example/\">them</a>"}};
        server.setReply(notLinked);
        need<QToolButton>(&w, "Command1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.engine().isScanning(), 10000);
        QCOMPARE(w.statusText(1), QString("Stopped: 1 link lost"));
        QVERIFY(env.readFile("tempreport.html").contains("<b>Lost Links</b><BR>\r\nSite: <a href='127.0.0.1'>"));

        w.show();
        w.tabs()->setCurrentIndex(MainWindow::HistoryTab);
        QTreeWidget *changes = w.historyPanel()->changesList();
        QCOMPARE(changes->topLevelItemCount(), 1);
        QCOMPARE(changes->topLevelItem(0)->text(0), QString("Lost"));
        QCOMPARE(changes->topLevelItem(0)->text(2), QString("127.0.0.1")); // its URL, as chkUpdate left it
        const QList<QAbstractSeries *> series = w.historyPanel()->chartView()->chart()->series();
        QCOMPARE(series.size(), 2);
        const QList<QPointF> links = static_cast<QLineSeries *>(series.at(0))->points();
        QCOMPARE(links.size(), 2); // the run that could not check the site has no point
        QCOMPARE(links.at(0).y(), 1.0);
        QCOMPARE(links.at(1).y(), 0.0);
        // The Linking Site chosen in the list, run by run, the latest first.
        w.websites()->selectLinkingSite(0, 0);
        QTreeWidget *runs = w.historyPanel()->siteRunsList();
        QCOMPARE(runs->topLevelItemCount(), 3);
        QCOMPARE(runs->topLevelItem(0)->text(1), QString("None Found"));
        QCOMPARE(runs->topLevelItem(1)->text(1), QString("None Found (500 Internal Error) - not checked"));
        QCOMPARE(runs->topLevelItem(2)->text(1), QString("Direct Link"));
    }

    // A damaged history is named in the History tab; its button asks, and
    // only a yes moves the file aside for a new history.
    void damagedHistoryIsMovedAside()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        Project p;
        p.addLinkingSite(p.addMainSite("mysite.example"), "127.0.0.1/");
        QVERIFY(ProjectFile::write(p, env.path("sites.prj")));
        QFile history(env.path("sites.history.sqlite"));
        QVERIFY(history.open(QIODevice::WriteOnly));
        history.write(QByteArray(4096, 'x'));
        history.close();

        MainWindow w;
        w.setQuitHandler([] {});
        w.startUp();
        w.projectCommands()->openFile(env.path("sites.prj"));
        w.show();
        w.tabs()->setCurrentIndex(MainWindow::HistoryTab);
        QPushButton *reset = w.historyPanel()->resetButton();
        QVERIFY(reset->isVisible());
        QVERIFY2(w.historyPanel()->captionLabel()->text().contains("is damaged"),
                 qPrintable(w.historyPanel()->captionLabel()->text()));
        DialogService::instance().queueAnswer(DialogService::Answer::No);
        reset->click();
        QVERIFY(history.exists());
        DialogService::instance().queueAnswer(DialogService::Answer::Yes);
        reset->click();
        QVERIFY(!history.exists());
        QCOMPARE(QDir(env.programFolder()).entryList({"sites.history.sqlite.damaged-*"}).size(), 1);
        QVERIFY(!reset->isVisible());
    }

    // At 1280x1024 every column of the Linking Sites list starts inside the
    // list, "Description" with room to read it.
    void linkingSiteColumnsFitTheList()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        MainWindow w;
        w.setQuitHandler([] {});
        w.startUp();
        w.resize(1280, 1024);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.project().addMainSite("m.example");
        w.project().addLinkingSite(0, "partner.example");
        w.websites()->selectMainSite(0);
        QCoreApplication::processEvents();
        auto *list = need<QTreeWidget>(&w, "List1");
        const QHeaderView *header = list->header();
        QVERIFY2(header->sectionViewportPosition(4) + 60 <= list->viewport()->width(),
                 qPrintable(QString("Description at %1 of %2").arg(header->sectionViewportPosition(4))
                                .arg(list->viewport()->width())));
        QVERIFY(header->sectionSize(0) > header->sectionSize(2)); // the Website column stays the widest
    }

    void exitAsksToSaveAnEditedProject()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        int quits = 0;
        {
            MainWindow w;
            w.setQuitHandler([&] { ++quits; });
            w.startUp();
            w.show();
            w.close(); // unchanged: no question
            QVERIFY(askedMessages().isEmpty());
            QCOMPARE(quits, 1);
        }
        {
            MainWindow w;
            w.setQuitHandler([&] { ++quits; });
            w.startUp();
            w.project().addMainSite("kept.example");
            w.project().markEdited();
            DialogService::instance().queueAnswer(DialogService::Answer::No);
            w.show();
            w.close();
            QCOMPARE(askedMessages(), QStringList({"The current project has been edited but has not been saved.\n"
                                                   "Would you like to save now?"}));
            QCOMPARE(DialogService::instance().asked().last().title, QString("Save Project?"));
            QCOMPARE(quits, 2);
        }
        DialogService::instance().setAnswering(true);
        {
            MainWindow w;
            w.setQuitHandler([&] { ++quits; });
            w.startUp();
            w.project().addMainSite("http://www.kept.example/x");
            w.project().markEdited();
            DialogService::instance().queueAnswer(DialogService::Answer::Yes);
            DialogService::instance().queuePath(env.path("kept.prj"));
            w.show();
            w.close();
            const auto &asked = DialogService::instance().asked();
            QCOMPARE(asked.last().kind, QString("save"));
            QCOMPARE(asked.last().proposed, QString("wwwkeptexample.prj"));
            QVERIFY(asked.last().folder.endsWith("/Project Files"));
            QVERIFY(env.readFile("kept.prj").startsWith("http://www.kept.example/x\r\n"));
            QCOMPARE(SettingsStore::instance().read(Keys::LastProject, ""), env.path("kept.prj"));
            QCOMPARE(quits, 3);
        }
        // Yes, then nothing written (the dialog cancelled, or two failed
        // writes): the window stays open with the edits.
        {
            MainWindow w;
            w.setQuitHandler([&] { ++quits; });
            w.startUp();
            w.project().addMainSite("still.example");
            w.project().markEdited();
            w.show();
            DialogService::instance().setAnswering(true);
            DialogService::instance().queueAnswer(DialogService::Answer::Yes);
            w.close();
            QCOMPARE(DialogService::instance().asked().last().kind, QString("save"));
            QVERIFY(w.isVisible());
            QCOMPARE(quits, 3);
            DialogService::instance().queueAnswer(DialogService::Answer::Yes);
            DialogService::instance().queuePath(env.path("no/such/folder/a.prj"));
            DialogService::instance().queuePath(env.path("no/such/folder/b.prj"));
            w.close();
            QVERIFY(w.isVisible());
            QCOMPARE(quits, 3);
            QCOMPARE(w.project().mainSites().last().url, QString("still.example"));
            // The question itself has no escape.
            QCOMPARE(DialogService::instance().asked().first().buttons, DialogService::Buttons::YesNoOnly);
            DialogService::instance().queueAnswer(DialogService::Answer::No);
            w.close();
            QCOMPARE(quits, 4);
        }
    }

    // The real question box: Esc and the close box do nothing, only Yes or No
    // answers it.
    void theSaveQuestionHasNoEscape()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        int quits = 0;
        MainWindow w;
        w.setQuitHandler([&] { ++quits; });
        w.startUp();
        w.project().addMainSite("edited.example");
        w.project().markEdited();
        w.show();
        DialogService::instance().setAnswering(false);
        bool stayedAfterEscape = false;
        bool stayedAfterClose = false;
        QTimer poll;
        int step = 0;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            if (step == 0) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else if (step == 1) {
                stayedAfterEscape = box->isVisible();
                box->close();
            } else {
                stayedAfterClose = box->isVisible();
                box->button(QMessageBox::No)->click();
            }
            ++step;
        });
        poll.start(20);
        w.close();
        poll.stop();
        DialogService::instance().setAnswering(true);
        QVERIFY(stayedAfterEscape);
        QVERIFY(stayedAfterClose);
        QCOMPARE(quits, 1);
    }

    // New and Open ask before an edited project is replaced, with Cancel.
    void newAndOpenAskFirst()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        {
            Project other;
            other.addMainSite("other.example");
            QVERIFY(ProjectFile::write(other, env.path("other.prj")));
        }
        MainWindow w;
        w.setQuitHandler([] {});
        w.startUp();
        DialogService &dialogs = DialogService::instance();

        // Unchanged: no question.
        need<QToolButton>(&w, "cmdNew")->click();
        QVERIFY(dialogs.asked().isEmpty());

        w.project().addMainSite("work.example");
        w.project().markEdited();
        dialogs.queueAnswer(DialogService::Answer::Cancel);
        need<QToolButton>(&w, "cmdNew")->click();
        QCOMPARE(askedMessages(), QStringList({"The current project has been edited but has not been saved.\n"
                                               "Would you like to save now?"}));
        QCOMPARE(dialogs.asked().last().title, QString("Save Project?"));
        QCOMPARE(dialogs.asked().last().buttons, DialogService::Buttons::YesNoCancel);
        QCOMPARE(w.project().mainSiteCount(), 1);

        // Cancel before Open: no file dialog, nothing read.
        dialogs.clearAsked();
        dialogs.queueAnswer(DialogService::Answer::Cancel);
        dialogs.queuePath(env.path("other.prj"));
        menuItem(w, "Open Project")->trigger();
        QCOMPARE(dialogs.asked().size(), 1);
        QCOMPARE(w.project().mainSite(0).url, QString("work.example"));

        // Yes saves first, then opens.
        dialogs.setAnswering(true);
        dialogs.queueAnswer(DialogService::Answer::Yes);
        dialogs.queuePath(env.path("work.prj"));
        dialogs.queuePath(env.path("other.prj"));
        need<QToolButton>(&w, "cmdOpen")->click();
        QVERIFY(env.readFile("work.prj").startsWith("work.example\r\n"));
        QCOMPARE(w.project().mainSite(0).url, QString("other.example"));

        // No throws the edits away.
        w.project().addMainSite("dropped.example");
        w.project().markEdited();
        dialogs.queueAnswer(DialogService::Answer::No);
        menuItem(w, "New Project")->trigger();
        QCOMPARE(w.project().mainSiteCount(), 0);
    }

    // Save names the characters a project file cannot hold before writing.
    void saveNamesWhatTheFileCannotHold()
    {
        TestEnv env;
        SettingsStore::instance().write(Keys::showHelp, "0");
        MainWindow w;
        w.setQuitHandler([] {});
        w.startUp();
        w.project().addMainSite(QString::fromUtf16(u"snow\u2603.example"));
        w.project().addMainSite(QString::fromUtf16(u"euro\u20AC.example"));
        DialogService &dialogs = DialogService::instance();
        dialogs.queueAnswer(DialogService::Answer::Cancel);
        dialogs.queuePath(env.path("snow.prj"));
        need<QToolButton>(&w, "cmdSave")->click();
        QCOMPARE(askedMessages().size(), 1);
        QVERIFY(askedMessages().first().contains(QChar(0x2603)));
        QVERIFY(!askedMessages().first().contains(QChar(0x20AC)));
        QCOMPARE(dialogs.asked().first().buttons, DialogService::Buttons::OkCancel);
        QVERIFY(!QFile::exists(env.path("snow.prj")));

        dialogs.setAnswering(true);
        dialogs.queueAnswer(DialogService::Answer::Ok);
        dialogs.queuePath(env.path("snow.prj"));
        need<QToolButton>(&w, "cmdSave")->click();
        QVERIFY(env.readFile("snow.prj").startsWith("snow?.example\r\nNEXTSITE:euro\x80.example\r\n"));
        QVERIFY(w.project().isSaved());
        QCOMPARE(w.project().mainSite(0).url, QString::fromUtf16(u"snow\u2603.example")); // kept in the window
    }

    void websiteWindowOutlivesTheMainWindow()
    {
        TestEnv env;
        env.writeFile("Help.html", "<html><title>Guide</title>guide</html>");
        const QString guide = QUrl::fromLocalFile(env.path("Help.html")).toString();
        SettingsStore::instance().write(Keys::showHelp, "0");
        int quits = 0;
        MainWindow w;
        w.setQuitHandler([&] { ++quits; });
        w.startUp();
        w.show();
        need<QToolButton>(&w, "cmdWebsite")->click();
        WebsiteWindow *site = w.websiteWindow();
        QVERIFY(site && site->isVisible());
        QCOMPARE(site->browser()->requestedUrl(), guide);
        QVERIFY(!(site->windowFlags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(site->addressBox()->text(), guide);
        QCOMPARE(site->statusText(2), QString("Completed ") + guide);
        // Opening again reuses the window.
        w.openWebsiteWindow();
        QCOMPARE(w.websiteWindow(), site);

        w.close();
        QCOMPARE(quits, 0);
        QVERIFY(site->isVisible());
        site->close();
        QCOMPARE(quits, 1);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
