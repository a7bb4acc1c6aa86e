#include "outputs/widgets/ResultListModels.h"

#include "model/Project.h"
#include "outputs/NotedStatus.h"
#include "outputs/widgets/ResultIcons.h"

#include <QColor>

ProjectRowsModel::ProjectRowsModel(Project &project, QStringList captions, QObject *parent)
    : QAbstractTableModel(parent), m_project(project), m_captions(std::move(captions))
{
}

int ProjectRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int ProjectRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_captions.size());
}

QVariant ProjectRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_captions.size())
        return m_captions.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant ProjectRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_count || index.row() >= projectRowCount())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cellText(index.row(), index.column());
    return QVariant();
}

void ProjectRowsModel::sortByColumn(int column0)
{
    if (m_count == 0 || column0 < 0 || column0 >= m_captions.size())
        return;
    m_sort.click(column0);
    const QList<int> order = projectOrder(m_sort);

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<int> newRowOf(order.size());
    for (int newRow = 0; newRow < order.size(); ++newRow)
        newRowOf[order.at(newRow)] = newRow;
    m_reordering = true;
    reorderProject(order);
    m_reordering = false;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &i : before)
        after.append(i.row() < newRowOf.size() ? index(newRowOf.at(i.row()), i.column()) : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ProjectRowsModel::rowAppended(int index)
{
    if (m_reordering)
        return;
    if (index != m_count || index + 1 != projectRowCount()) {
        rowsReplaced(); // out of step: start afresh
        return;
    }
    if (m_sort.sorted) {
        const int pos = sortedPlaceOfLast();
        if (pos != index) {
            moveLastRowTo(pos);
            return;
        }
    }
    beginInsertRows({}, index, index);
    m_count = index + 1;
    endInsertRows();
}

void ProjectRowsModel::moveLastRowTo(int pos)
{
    const int n = projectRowCount();
    beginInsertRows({}, pos, pos);
    m_reordering = true;
    moveProjectRow(n - 1, pos);
    m_reordering = false;
    m_count = n;
    endInsertRows();
}

void ProjectRowsModel::rowChanged(int index)
{
    if (m_reordering || index < 0 || index >= m_count)
        return;
    emit dataChanged(this->index(index, 0), this->index(index, int(m_captions.size()) - 1));
}

void ProjectRowsModel::rowsReplaced()
{
    if (m_reordering)
        return;
    beginResetModel();
    // Rows read from a file or replaced wholesale join the sorted order too,
    // as they would arriving one by one in a sorted list.
    if (m_sort.sorted && !projectInOrder(m_sort)) {
        m_reordering = true;
        reorderProject(projectOrder(m_sort));
        m_reordering = false;
    }
    m_count = projectRowCount();
    endResetModel();
}

// --- results ---

ResultsListModel::ResultsListModel(Project &project, QObject *parent)
    : ProjectRowsModel(project,
                       {QStringLiteral("Main"), QStringLiteral("Remote"), QStringLiteral("Status"),
                        QStringLiteral("No."), QStringLiteral("URL"), QStringLiteral("Notes"),
                        QStringLiteral("Anchor Text")},
                       parent)
{
    connect(&project, &Project::resultAppended, this, &ResultsListModel::rowAppended);
    connect(&project, &Project::resultChanged, this, &ResultsListModel::rowChanged);
    connect(&project, &Project::resultsChanged, this, &ResultsListModel::rowsReplaced);
    connect(&project, &Project::projectReset, this, &ResultsListModel::rowsReplaced);
    rowsReplaced();
}

QVariant ResultsListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.row() >= projectRowCount())
        return QVariant();
    const LinkResult &row = m_project.results().at(index.row());
    switch (role) {
    case Qt::DecorationRole:
        return index.column() == 0 ? QVariant(passesNoValue(row) ? notedResultIcon() : resultIcon(row.icon))
                                   : QVariant();
    case Qt::ForegroundRole:
        // A link that passes no value stands out from those that do.
        if (passesNoValue(row))
            return QColor(204, 122, 0);
        switch (row.colour) {
        case RowColour::Red: return QColor(255, 0, 0);
        case RowColour::Blue: return QColor(0, 0, 255);
        case RowColour::Green: return QColor(0, 128, 0);
        case RowColour::Default: return QVariant();
        }
        return QVariant();
    default:
        return ProjectRowsModel::data(index, role);
    }
}

int ResultsListModel::projectRowCount() const
{
    return int(m_project.results().size());
}

QString ResultsListModel::cellText(int row, int column) const
{
    return columnText(m_project.results().at(row), column);
}

QList<int> ResultsListModel::projectOrder(const ListSortState &state) const
{
    return sortedOrder(m_project.results(), state);
}

bool ResultsListModel::projectInOrder(const ListSortState &state) const
{
    return isInOrder(m_project.results(), state);
}

void ResultsListModel::reorderProject(const QList<int> &order)
{
    m_project.setResults(applyOrder(m_project.results(), order));
}

void ResultsListModel::moveProjectRow(int from, int to)
{
    m_project.moveResult(from, to);
}

int ResultsListModel::sortedPlaceOfLast() const
{
    const QList<LinkResult> &rows = m_project.results();
    const int last = int(rows.size()) - 1;
    return sortedInsertPosition(rows, last, rows.at(last), sortState());
}

// --- errors ---

ErrorsListModel::ErrorsListModel(Project &project, QObject *parent)
    : ProjectRowsModel(project, {QStringLiteral("Error"), QStringLiteral("URL")}, parent)
{
    connect(&project, &Project::errorAppended, this, &ErrorsListModel::rowAppended);
    connect(&project, &Project::errorsChanged, this, &ErrorsListModel::rowsReplaced);
    connect(&project, &Project::projectReset, this, &ErrorsListModel::rowsReplaced);
    rowsReplaced();
}

int ErrorsListModel::projectRowCount() const
{
    return int(m_project.errors().size());
}

QString ErrorsListModel::cellText(int row, int column) const
{
    return columnText(m_project.errors().at(row), column);
}

QList<int> ErrorsListModel::projectOrder(const ListSortState &state) const
{
    return sortedOrder(m_project.errors(), state);
}

bool ErrorsListModel::projectInOrder(const ListSortState &state) const
{
    return isInOrder(m_project.errors(), state);
}

void ErrorsListModel::reorderProject(const QList<int> &order)
{
    m_project.setErrors(applyOrder(m_project.errors(), order));
}

void ErrorsListModel::moveProjectRow(int from, int to)
{
    m_project.moveError(from, to);
}

int ErrorsListModel::sortedPlaceOfLast() const
{
    const QList<ErrorEntry> &rows = m_project.errors();
    const int last = int(rows.size()) - 1;
    return sortedInsertPosition(rows, last, rows.at(last), sortState());
}
