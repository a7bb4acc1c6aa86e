#include "UiTestMain.h"

#include "model/Project.h"
#include "outputs/widgets/ResultsPanel.h"
#include "support/TestEnv.h"
#include "ui/DialogService.h"

#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStyle>
#include <QTreeView>

namespace {

LinkResult result(const QString &main, const QString &remote, const QString &status, const QString &number,
                  const QString &url, int icon = 2, RowColour colour = RowColour::Blue)
{
    LinkResult r;
    r.icon = icon;
    r.mainSite = main;
    r.remoteSite = remote;
    r.status = status;
    r.number = number;
    r.url = url;
    r.colour = colour;
    return r;
}

QStringList column(const QList<LinkResult> &rows, int col)
{
    QStringList out;
    for (const LinkResult &r : rows)
        out << (col == 1 ? r.remoteSite : col == 2 ? r.status : col == 3 ? r.number : r.mainSite);
    return out;
}

QStringList shownColumn(const QTreeView *view, int col)
{
    QStringList out;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        out << view->model()->index(row, col).data().toString();
    return out;
}

void clickHeader(QTreeView *view, int section)
{
    QHeaderView *h = view->header();
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                      QPoint(h->sectionViewportPosition(section) + 5, h->height() / 2));
}

QPoint rowCentre(QTreeView *view, int row)
{
    return view->visualRect(view->model()->index(row, 0)).center();
}

// A double-click as the window system delivers it: press, release, the
// double-click press, release.
void doubleClick(QWidget *w, QPoint pos)
{
    QTest::mousePress(w, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(w, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(w, Qt::LeftButton, {}, pos);
}

} // namespace

class TestResultsPanel : public QObject
{
    Q_OBJECT

    TestEnv m_env;
    Project m_project;
    QStringList m_opened; // URLs handed to openInWebTab
    QStringList m_shown;  // URLs shown without the address box
    ResultsPanel *m_panel = nullptr;

    void fill()
    {
        m_project.clearResults();
        m_project.appendResult(result("main.example", "beta.example", "None Found (Timeout)", "000",
                                      "beta.example", 1, RowColour::Red));
        m_project.appendResult(result("main.example", "alpha.example/links", "Direct Link", "001",
                                      "alpha.example/links/page 2.htm"));
        m_project.appendResult(result("other.example", "Gamma.example", "Redirect Link", "001",
                                      "HTTPS://gamma.example/"));
        m_project.appendResult(result("main.example", "delta.example", "Missing 002", "000",
                                      "delta.example", 1, RowColour::Red));
    }

private slots:
    void init()
    {
        DialogService::instance().setAnswering(true);
        m_opened.clear();
        m_shown.clear();
        m_project.clearProject();
        m_project.clearErrors();
        m_panel = new ResultsPanel(
            m_project, DialogService::instance(),
            {[this](const QString &u) { m_opened << u; }, [this](const QString &u) { m_shown << u; }});
        m_panel->resize(900, 600);
        m_panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_panel));
    }

    void cleanup()
    {
        delete m_panel;
        m_panel = nullptr;
    }

    void listsCarryTheirCaptionsAndNames()
    {
        QTreeView *results = m_panel->resultsList();
        QCOMPARE(results->objectName(), QStringLiteral("List3"));
        QCOMPARE(m_panel->errorsList()->objectName(), QStringLiteral("lstErr"));
        QCOMPARE(m_panel->errorsLabel()->text(), QStringLiteral("Errors/Warnings:"));
        QStringList captions;
        for (int c = 0; c < results->model()->columnCount(); ++c)
            captions << results->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(captions, QStringList({"Main", "Remote", "Status", "No.", "URL", "Notes", "Anchor Text"}));
        for (int c = 0; c < captions.size(); ++c)
            QCOMPARE(results->header()->visualIndex(c), c); // notes and anchor text follow the URL
        QCOMPARE(m_panel->errorsList()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Error"));
        QCOMPARE(m_panel->errorsList()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("URL"));
    }

    void rowsShowImageAndColourOfTheirOutcome()
    {
        fill();
        QAbstractItemModel *m = m_panel->resultsList()->model();
        QCOMPARE(m->rowCount(), 4);
        QCOMPARE(m->index(0, 2).data().toString(), QStringLiteral("None Found (Timeout)"));
        QCOMPARE(m->index(0, 4).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        QCOMPARE(m->index(1, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
        const QIcon notFound = m->index(0, 0).data(Qt::DecorationRole).value<QIcon>();
        const QIcon found = m->index(1, 0).data(Qt::DecorationRole).value<QIcon>();
        QVERIFY(!notFound.isNull() && !found.isNull());
        QVERIFY(notFound.pixmap(16).toImage() != found.pixmap(16).toImage());
        QVERIFY(!m->index(0, 1).data(Qt::DecorationRole).isValid()); // the image sits in the first column only

        // A link with notes: amber, an image of its own; the stored image number stays.
        LinkResult noted = m_project.results().at(1);
        noted.notes = QStringLiteral("nofollow, noindex page");
        m_project.setResult(1, noted);
        QCOMPARE(m->index(1, 5).data().toString(), QStringLiteral("nofollow, noindex page"));
        noted.anchor = QStringLiteral("Best blue widgets for every garden and every season");
        m_project.setResult(1, noted);
        QCOMPARE(m->index(1, 6).data(Qt::ToolTipRole).toString(), noted.anchor); // whole, however narrow the column
        QCOMPARE(m->index(1, 3).data(Qt::ForegroundRole).value<QColor>(), QColor(204, 122, 0));
        const QImage amber = m->index(1, 0).data(Qt::DecorationRole).value<QIcon>().pixmap(16).toImage();
        QVERIFY(amber != found.pixmap(16).toImage() && amber != notFound.pixmap(16).toImage());
        QCOMPARE(m_project.results().at(1).icon, 2);
    }

    // Main, Remote, Status, No. and URL are seen without scrolling, with
    // room for a vertical scroll bar; notes and anchor text follow.
    void columnWidthsAreSetOnceFromTheListWidth()
    {
        QVERIFY(m_panel->columnWidthsSet()); // laid out visible: done by the panel itself
        QTreeView *results = m_panel->resultsList();
        const int visible = results->viewport()->width()
            - results->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, results);
        QHeaderView *header = results->header();
        QVERIFY2(header->sectionPosition(4) + header->sectionSize(4) <= visible, qPrintable(QString::number(visible)));
        QVERIFY(results->columnWidth(4) >= visible / 4); // the URL, what the user looks for first
        QVERIFY(results->columnWidth(3) >= results->fontMetrics().horizontalAdvance(QStringLiteral("No. 000")));
        QVERIFY(results->columnWidth(5) > 0 && results->columnWidth(6) > 0);
        QTreeView *errors = m_panel->errorsList();
        QVERIFY(qAbs(errors->columnWidth(1) - (3 * errors->width() / 4 - 3)) <= 1);
        results->setColumnWidth(0, 61);
        m_panel->resize(1200, 700);
        m_panel->setInitialColumnWidths();
        QCOMPARE(results->columnWidth(0), 61);
    }

    // The direction flips on every click whatever the column, and the
    // project's own rows take the new order.
    void headerClicksReorderTheProjectsRows()
    {
        fill();
        QTreeView *list = m_panel->resultsList();
        list->selectionModel()->select(list->model()->index(1, 0),
                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

        clickHeader(list, 2); // "Status": descending
        QVERIFY(m_panel->resultsSort().sorted);
        QVERIFY(m_panel->resultsSort().descending);
        QCOMPARE(column(m_project.results(), 2),
                 QStringList({"Redirect Link", "None Found (Timeout)", "Missing 002", "Direct Link"}));
        QCOMPARE(shownColumn(list, 2), column(m_project.results(), 2));
        QCOMPARE(m_project.results().at(m_panel->selectedResult()).remoteSite, QStringLiteral("alpha.example/links"));

        clickHeader(list, 1); // "Remote": ascending now, letter case ignored
        QVERIFY(!m_panel->resultsSort().descending);
        QCOMPARE(m_panel->resultsSort().column, 1);
        QCOMPARE(column(m_project.results(), 1),
                 QStringList({"alpha.example/links", "beta.example", "delta.example", "Gamma.example"}));

        clickHeader(list, 1); // the same column again: descending
        QCOMPARE(column(m_project.results(), 1),
                 QStringList({"Gamma.example", "delta.example", "beta.example", "alpha.example/links"}));
        QCOMPARE(m_project.results().at(m_panel->selectedResult()).remoteSite, QStringLiteral("alpha.example/links"));
    }

    void sortingKeepsTiesInTheirOrderAndEmptyListsUnsorted()
    {
        clickHeader(m_panel->resultsList(), 0);
        QVERIFY(!m_panel->resultsSort().sorted); // no rows: nothing happens, not even the flip
        fill();
        m_panel->sortResults(0); // "Main" descending: other.example, then the three main.example rows in entry order
        QCOMPARE(column(m_project.results(), 1),
                 QStringList({"Gamma.example", "beta.example", "alpha.example/links", "delta.example"}));
    }

    void whileSortedNewRowsTakeTheirSortedPlace()
    {
        fill();
        m_panel->sortResults(1); // "Remote" descending
        m_project.appendResult(result("main.example", "charlie.example", "Direct Link", "001", "charlie.example"));
        QCOMPARE(column(m_project.results(), 1),
                 QStringList({"Gamma.example", "delta.example", "charlie.example", "beta.example", "alpha.example/links"}));
        QCOMPARE(shownColumn(m_panel->resultsList(), 1), column(m_project.results(), 1));
        m_project.appendResult(result("main.example", "aaa.example", "Direct Link", "001", "aaa.example"));
        QCOMPARE(m_project.results().last().remoteSite, QStringLiteral("aaa.example"));

        // A project read afresh shows its rows in the list's order too.
        QList<LinkResult> read = {result("m", "b", "s", "001", "u"), result("m", "z", "s", "001", "u"),
                                  result("m", "k", "s", "001", "u")};
        m_project.setResults(read);
        QCOMPARE(column(m_project.results(), 1), QStringList({"z", "k", "b"}));
        QCOMPARE(shownColumn(m_panel->resultsList(), 1), QStringList({"z", "k", "b"}));

        m_project.clearResults(); // a new scan: the sort stays on for its rows
        m_project.appendResult(result("m", "a", "s", "001", "u"));
        m_project.appendResult(result("m", "c", "s", "001", "u"));
        QCOMPARE(column(m_project.results(), 1), QStringList({"c", "a"}));
    }

    void errorsListSortsItsOwnRows()
    {
        m_project.appendError({"404 Not found", "b.example/x"});
        m_project.appendError({"500 Server error", "a.example/y"});
        m_project.appendError({"403 Forbidden", "c.example/z"});
        clickHeader(m_panel->errorsList(), 1); // "URL" descending
        QCOMPARE(m_project.errors().at(0).url, QStringLiteral("c.example/z"));
        QCOMPARE(m_project.errors().at(2).url, QStringLiteral("a.example/y"));
        QVERIFY(!m_panel->resultsSort().sorted); // each list has its own state
        clickHeader(m_panel->errorsList(), 0); // "Error" ascending
        QCOMPARE(m_project.errors().at(0).error, QStringLiteral("403 Forbidden"));
        m_project.appendError({"401 Unauthorized", "d.example"});
        QCOMPARE(m_project.errors().at(0).error, QStringLiteral("401 Unauthorized"));
    }

    void contextMenuHasItsItems()
    {
        QStringList captions;
        for (QAction *a : m_panel->resultsMenu()->actions())
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(captions, QStringList({"Browse Main Site", "Browse Linking Site", "Browse Found On", "Copy Main Site",
                                        "Copy Linking Site", "Copy Found On", "-", "Mark as Found",
                                        "Mark as None Found", "-", "Show Proof"}));
    }

    void markCommandsChangeOnlyStatusColourAndImage()
    {
        fill();
        m_project.setSaved(true);
        QSignalSpy edited(&m_project, &Project::savedChanged);
        QTreeView *list = m_panel->resultsList();
        list->setCurrentIndex(list->model()->index(0, 0));
        m_panel->menuAction(ResultsPanel::MarkFound)->trigger();
        const LinkResult &r = m_project.results().at(0);
        QCOMPARE(r.status, QStringLiteral("Direct Link"));
        QCOMPARE(r.number, QStringLiteral("000"));
        QCOMPARE(r.url, QStringLiteral("beta.example"));
        QCOMPARE(r.icon, 2);
        QCOMPARE(r.colour, RowColour::Blue);
        QCOMPARE(list->model()->index(0, 2).data().toString(), QStringLiteral("Direct Link"));
        QCOMPARE(list->model()->index(0, 2).data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
        QVERIFY(m_project.isSaved());
        QCOMPARE(edited.count(), 0);

        LinkResult noted = m_project.results().at(2);
        noted.notes = QStringLiteral("nofollow");
        m_project.setResult(2, noted);
        list->setCurrentIndex(list->model()->index(2, 0));
        m_panel->menuAction(ResultsPanel::MarkNoneFound)->trigger();
        QCOMPARE(m_project.results().at(2).notes, QString()); // no link, no link notes
        QCOMPARE(m_project.results().at(2).status, QStringLiteral("None Found"));
        QCOMPARE(m_project.results().at(2).number, QStringLiteral("001"));
        QCOMPARE(m_project.results().at(2).icon, 1);
        QCOMPARE(m_project.results().at(2).colour, RowColour::Red);

        list->clearSelection();
        const QList<LinkResult> before = m_project.results();
        m_panel->menuAction(ResultsPanel::MarkFound)->trigger();
        m_panel->menuAction(ResultsPanel::MarkNoneFound)->trigger();
        QCOMPARE(column(m_project.results(), 2), column(before, 2));
    }

    void copyItemsPutTheRowsTextOnTheClipboard()
    {
        fill();
        QClipboard *cb = QApplication::clipboard();
        QTreeView *list = m_panel->resultsList();
        list->setCurrentIndex(list->model()->index(1, 0));
        m_panel->menuAction(ResultsPanel::CopyMainSite)->trigger();
        QCOMPARE(cb->text(), QStringLiteral("main.example"));
        m_panel->menuAction(ResultsPanel::CopyLinkingSite)->trigger();
        QCOMPARE(cb->text(), QStringLiteral("alpha.example/links"));
        m_panel->menuAction(ResultsPanel::CopyFoundOn)->trigger();
        QCOMPARE(cb->text(), QStringLiteral("alpha.example/links/page 2.htm"));

        list->clearSelection();
        m_panel->menuAction(ResultsPanel::CopyFoundOn)->trigger();
        QCOMPARE(cb->text(), QString()); // emptied, nothing put on it
    }

    void browseItemsHandTheWebTabAUrl()
    {
        fill();
        QTreeView *list = m_panel->resultsList();
        m_panel->menuAction(ResultsPanel::BrowseMainSite)->trigger(); // no row selected
        QVERIFY(m_opened.isEmpty());

        list->setCurrentIndex(list->model()->index(1, 0));
        m_panel->menuAction(ResultsPanel::BrowseMainSite)->trigger();
        m_panel->menuAction(ResultsPanel::BrowseLinkingSite)->trigger();
        m_panel->menuAction(ResultsPanel::BrowseFoundOn)->trigger();
        list->setCurrentIndex(list->model()->index(2, 0));
        m_panel->menuAction(ResultsPanel::BrowseFoundOn)->trigger();
        QCOMPARE(m_opened, QStringList({"http://main.example", "http://alpha.example/links",
                                        "http://alpha.example/links/page 2.htm",
                                        "HTTPS://gamma.example/"})); // "http" in another case: nothing prefixed
        QVERIFY(m_shown.isEmpty());
    }

    void rightClickPopsTheMenuUpOverTheList()
    {
        fill();
        QTreeView *list = m_panel->resultsList();
        QSignalSpy requested(list, &QWidget::customContextMenuRequested);
        QContextMenuEvent ev(QContextMenuEvent::Mouse, rowCentre(list, 1), list->viewport()->mapToGlobal(rowCentre(list, 1)));
        QApplication::sendEvent(list->viewport(), &ev);
        QCOMPARE(requested.count(), 1);
        QTRY_VERIFY(m_panel->resultsMenu()->isVisible());
        m_panel->resultsMenu()->hide();
    }

    void doubleClickOnAnErrorOpensItOnTheDesktop()
    {
        m_project.appendError({"404 Not found", "site.example/missing.htm"});
        m_project.appendError({"500 Server error", "Http://site.example/broken"});
        QTreeView *errors = m_panel->errorsList();
        doubleClick(errors->viewport(), rowCentre(errors, 0));
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        doubleClick(errors->viewport(), rowCentre(errors, 1));
        doubleClick(errors->viewport(), rowCentre(errors, 1)); // on the selected row: still no edit gesture
        QStringList desktop;
        for (const auto &a : DialogService::instance().asked())
            if (a.kind == QLatin1String("desktop"))
                desktop << a.text;
        QCOMPARE(desktop, QStringList({"http://site.example/missing.htm", "Http://site.example/broken",
                                        "Http://site.example/broken"}));
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QVERIFY(m_shown.isEmpty()); // a double-click is never the edit gesture
        QVERIFY(m_opened.isEmpty());
    }

    void secondClickOnTheSelectedErrorShowsItInTheWebTab()
    {
        m_project.appendError({"404 Not found", "site.example/missing.htm"});
        m_project.appendError({"404 Not found", "site.example/other.htm"});
        QTreeView *errors = m_panel->errorsList();
        QTest::mouseClick(errors->viewport(), Qt::LeftButton, {}, rowCentre(errors, 1)); // selects
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QVERIFY(m_shown.isEmpty());
        QTest::mouseClick(errors->viewport(), Qt::LeftButton, {}, rowCentre(errors, 1)); // the gesture
        QTRY_COMPARE(m_shown, QStringList({"http://site.example/other.htm"}));
        QVERIFY(m_opened.isEmpty()); // the address box is left alone
        QVERIFY(DialogService::instance().asked().isEmpty());
    }
};

RECIPLEX_UI_TEST_MAIN(TestResultsPanel)
#include "tst_resultspanel.moc"
