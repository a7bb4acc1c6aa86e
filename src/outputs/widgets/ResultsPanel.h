#pragma once

#include "outputs/ListOrder.h"

#include <QWidget>

#include <functional>

class DialogService;
class ErrorsListModel;
class Project;
class QAction;
class QLabel;
class QMenu;
class QTimer;
class QTreeView;
class ResultsListModel;

// The "Links" tab: the results list `List3`, the label "Errors/Warnings:" and
// the errors list `lstErr`. Both lists show the project's rows as they are and
// sort them in place on a header click. The results list's context menu
// browses, copies and overrides a result; the errors list opens an error's
// page on the desktop (double-click) or in the "Web" tab (a second click on
// the selected row). "Show Proof" opens the picture of a row's link.
class ResultsPanel : public QWidget
{
    Q_OBJECT
public:
    // How the panel shows a page in the main window's "Web" tab. `open` is
    // the full openInWebTab (tab selected, address box filled, browser in
    // silent mode, navigation); `show` selects the tab and navigates without
    // touching the address box. The URL already carries its "http://".
    struct WebTab
    {
        std::function<void(const QString &url)> open;
        std::function<void(const QString &url)> show; // falls back to `open` when empty
    };

    enum MenuItem {
        BrowseMainSite, BrowseLinkingSite, BrowseFoundOn,
        CopyMainSite, CopyLinkingSite, CopyFoundOn,
        MarkFound, MarkNoneFound,
        ShowProof,
    };

    ResultsPanel(Project &project, DialogService &dialogs, WebTab webTab, QWidget *parent = nullptr);

    QTreeView *resultsList() const { return m_results; }
    QTreeView *errorsList() const { return m_errors; }
    QLabel *errorsLabel() const { return m_errorsLabel; }
    QMenu *resultsMenu() const { return m_menu; }
    QAction *menuAction(MenuItem item) const;

    // The column widths of the first layout of a run, from the lists' current
    // widths. Later calls do nothing; the panel makes the first call itself
    // when it is first laid out visible.
    void setInitialColumnWidths();
    bool columnWidthsSet() const { return m_sized; }

    // A header click, column 0-based.
    void sortResults(int column);
    void sortErrors(int column);
    const ListSortState &resultsSort() const;
    const ListSortState &errorsSort() const;

    // The selected row, -1 when none.
    int selectedResult() const;
    int selectedError() const;

    // The errors list's double-click and edit gesture on the selected row.
    void openSelectedErrorOnDesktop();
    void showSelectedErrorInWebTab();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void browse(MenuItem item);
    void copy(MenuItem item);
    void mark(MenuItem item);
    void showProof();
    // The picture of the selected row's link, "" when it has none on disk.
    QString selectedProof() const;
    QString selectedResultText(MenuItem item) const;

    Project &m_project;
    DialogService &m_dialogs;
    WebTab m_webTab;
    ResultsListModel *m_resultsModel = nullptr;
    ErrorsListModel *m_errorsModel = nullptr;
    QTreeView *m_results = nullptr;
    QTreeView *m_errors = nullptr;
    QLabel *m_errorsLabel = nullptr;
    QMenu *m_menu = nullptr;
    QList<QAction *> m_actions;
    QTimer *m_editTimer = nullptr;
    bool m_pressOnSelected = false;
    bool m_sized = false;
};
