#include "outputs/widgets/ResultsPanel.h"

#include "model/Project.h"
#include "outputs/BrowseUrl.h"
#include "outputs/ResultMarks.h"
#include "outputs/widgets/ResultListModels.h"
#include "ui/DialogService.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

QTreeView *makeReportList(QWidget *parent, const QString &name)
{
    auto *view = new QTreeView(parent);
    view->setObjectName(name);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true); // keeps ten thousand rows cheap to lay out
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->header()->setSectionsClickable(true);
    view->header()->setSectionsMovable(false);
    view->header()->setStretchLastSection(false);
    view->header()->setSortIndicatorShown(false);
    return view;
}

int selectedRowOf(const QTreeView *view)
{
    const QModelIndexList rows = view->selectionModel() ? view->selectionModel()->selectedRows()
                                                        : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.first().row();
}

// The lists' widths were given in twips; 1440 twips make an inch.
int twips(const QWidget *w, int amount)
{
    return qRound(amount * w->logicalDpiX() / 1440.0);
}

} // namespace

ResultsPanel::ResultsPanel(Project &project, DialogService &dialogs, WebTab webTab, QWidget *parent)
    : QWidget(parent), m_project(project), m_dialogs(dialogs), m_webTab(std::move(webTab))
{
    if (!m_webTab.show)
        m_webTab.show = m_webTab.open;

    m_resultsModel = new ResultsListModel(project, this);
    m_errorsModel = new ErrorsListModel(project, this);

    m_results = makeReportList(this, QStringLiteral("List3"));
    m_results->setModel(m_resultsModel);
    m_results->setTextElideMode(Qt::ElideRight);
    m_results->setContextMenuPolicy(Qt::CustomContextMenu);
    m_errorsLabel = new QLabel(QStringLiteral("Errors/Warnings:"), this);
    m_errors = makeReportList(this, QStringLiteral("lstErr"));
    m_errors->setModel(m_errorsModel);
    m_errors->setMinimumHeight(60);
    m_errors->setFixedHeight(140);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_results, 1);
    layout->addSpacing(4);
    layout->addWidget(m_errorsLabel);
    layout->addWidget(m_errors);

    connect(m_results->header(), &QHeaderView::sectionClicked, this, &ResultsPanel::sortResults);
    connect(m_errors->header(), &QHeaderView::sectionClicked, this, &ResultsPanel::sortErrors);

    m_menu = new QMenu(this);
    const QStringList captions = {
        QStringLiteral("Browse Main Site"), QStringLiteral("Browse Linking Site"),
        QStringLiteral("Browse Found On"), QStringLiteral("Copy Main Site"),
        QStringLiteral("Copy Linking Site"), QStringLiteral("Copy Found On"),
        QStringLiteral("Mark as Found"), QStringLiteral("Mark as None Found"),
        QStringLiteral("Show Proof"),
    };
    for (int i = 0; i < captions.size(); ++i) {
        if (i == MarkFound || i == ShowProof)
            m_menu->addSeparator();
        QAction *a = m_menu->addAction(captions.at(i));
        const auto item = MenuItem(i);
        connect(a, &QAction::triggered, this, [this, item] {
            if (item <= BrowseFoundOn)
                browse(item);
            else if (item <= CopyFoundOn)
                copy(item);
            else if (item == ShowProof)
                showProof();
            else
                mark(item);
        });
        m_actions.append(a);
    }
    connect(m_menu, &QMenu::aboutToShow, this,
            [this] { m_actions.at(ShowProof)->setEnabled(!selectedProof().isEmpty()); });
    connect(m_results, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_menu->popup(m_results->viewport()->mapToGlobal(pos)); });

    // A second click on the selected error is the gesture that would start
    // editing its first column; it waits out the double-click time so that a
    // double-click is never taken for it.
    m_editTimer = new QTimer(this);
    m_editTimer->setSingleShot(true);
    connect(m_editTimer, &QTimer::timeout, this, &ResultsPanel::showSelectedErrorInWebTab);
    m_errors->viewport()->installEventFilter(this);
    connect(m_errors, &QAbstractItemView::doubleClicked, this, [this] {
        m_editTimer->stop();
        openSelectedErrorOnDesktop();
    });
}

QAction *ResultsPanel::menuAction(MenuItem item) const
{
    return m_actions.value(int(item));
}

void ResultsPanel::setInitialColumnWidths()
{
    if (m_sized)
        return;
    m_sized = true;
    // Main, Remote, Status, No. and URL share the visible width, room kept
    // for a vertical scroll bar; the notes and the anchor text follow,
    // shown once the list is scrolled sideways, elided, whole in a tooltip.
    const int w = m_results->width() - 2 * m_results->frameWidth()
        - m_results->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_results);
    const int number = m_results->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + twips(this, 300);
    const int site = w * 18 / 100;
    const int status = w * 16 / 100;
    m_results->setColumnWidth(0, site);
    m_results->setColumnWidth(1, site);
    m_results->setColumnWidth(2, status);
    m_results->setColumnWidth(3, number);
    m_results->setColumnWidth(4, qMax(number, w - 2 * site - status - number));
    m_results->setColumnWidth(5, w / 5);
    m_results->setColumnWidth(6, w / 4);
    const int we = m_errors->width();
    m_errors->setColumnWidth(0, we / 4 - twips(this, 50));
    m_errors->setColumnWidth(1, 3 * we / 4 - twips(this, 50));
}

void ResultsPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_sized && isVisible() && width() > 0)
        setInitialColumnWidths();
}

void ResultsPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_sized && width() > 0) {
        if (layout())
            layout()->activate();
        setInitialColumnWidths();
    }
}

void ResultsPanel::sortResults(int column)
{
    m_resultsModel->sortByColumn(column);
}

void ResultsPanel::sortErrors(int column)
{
    m_errorsModel->sortByColumn(column);
}

const ListSortState &ResultsPanel::resultsSort() const
{
    return m_resultsModel->sortState();
}

const ListSortState &ResultsPanel::errorsSort() const
{
    return m_errorsModel->sortState();
}

int ResultsPanel::selectedResult() const
{
    return selectedRowOf(m_results);
}

int ResultsPanel::selectedError() const
{
    return selectedRowOf(m_errors);
}

QString ResultsPanel::selectedResultText(MenuItem item) const
{
    const int row = selectedResult();
    if (row < 0 || row >= m_project.results().size())
        return QString();
    const LinkResult &r = m_project.results().at(row);
    switch (item) {
    case BrowseMainSite:
    case CopyMainSite: return r.mainSite;
    case BrowseLinkingSite:
    case CopyLinkingSite: return r.remoteSite;
    default: return r.url;
    }
}

void ResultsPanel::browse(MenuItem item)
{
    if (selectedResult() < 0 || !m_webTab.open)
        return;
    m_webTab.open(browseUrl(selectedResultText(item)));
}

void ResultsPanel::copy(MenuItem item)
{
    // The clipboard is emptied first; with no row selected it stays empty.
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    if (selectedResult() >= 0)
        clipboard->setText(selectedResultText(item));
}

void ResultsPanel::mark(MenuItem item)
{
    const int row = selectedResult();
    if (row < 0 || row >= m_project.results().size())
        return;
    LinkResult r = m_project.results().at(row);
    if (item == MarkFound)
        markAsFound(r);
    else
        markAsNoneFound(r);
    m_project.setResult(row, r);
}

QString ResultsPanel::selectedProof() const
{
    const int row = selectedResult();
    if (row < 0 || row >= m_project.results().size())
        return QString();
    const QString &path = m_project.results().at(row).proof;
    return !path.isEmpty() && QFileInfo::exists(path) ? path : QString();
}

void ResultsPanel::showProof()
{
    const QString path = selectedProof();
    if (!path.isEmpty())
        m_dialogs.openWithDesktop(path);
}

void ResultsPanel::openSelectedErrorOnDesktop()
{
    const int row = selectedError();
    if (row < 0 || row >= m_project.errors().size())
        return;
    m_dialogs.openWithDesktop(browseUrl(m_project.errors().at(row).url));
}

void ResultsPanel::showSelectedErrorInWebTab()
{
    const int row = selectedError();
    if (row < 0 || row >= m_project.errors().size() || !m_webTab.show)
        return;
    m_webTab.show(browseUrl(m_project.errors().at(row).url));
}

bool ResultsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_errors->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto *me = static_cast<QMouseEvent *>(event);
            const QModelIndex at = m_errors->indexAt(me->position().toPoint());
            m_pressOnSelected = me->button() == Qt::LeftButton && me->modifiers() == Qt::NoModifier
                && at.isValid() && m_errors->selectionModel()->isRowSelected(at.row(), {});
            m_editTimer->stop();
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            m_pressOnSelected = false;
            m_editTimer->stop();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto *me = static_cast<QMouseEvent *>(event);
            const QModelIndex at = m_errors->indexAt(me->position().toPoint());
            if (m_pressOnSelected && at.isValid() && m_errors->selectionModel()->isRowSelected(at.row(), {}))
                m_editTimer->start(QApplication::doubleClickInterval());
            m_pressOnSelected = false;
        }
    }
    return QWidget::eventFilter(watched, event);
}
