#pragma once

#include "outputs/ListOrder.h"

#include <QAbstractTableModel>
#include <QStringList>

class Project;

// A table model over one of the project's row lists (results or errors). It
// reads the project's rows directly, so ten thousand rows cost no copies, and
// it keeps the list sorted the way the user asked: a header click reorders the
// project's own list, and while sorted a row the scan appends is moved to its
// sorted place at once.
class ProjectRowsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    ProjectRowsModel(Project &project, QStringList captions, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // A header click: nothing on an empty list; otherwise sorted on, this
    // column, the direction flipped, the project's rows reordered. Selection
    // and current row follow their rows.
    void sortByColumn(int column0);
    const ListSortState &sortState() const { return m_sort; }

protected:
    virtual int projectRowCount() const = 0;
    virtual QString cellText(int row, int column) const = 0;
    virtual QList<int> projectOrder(const ListSortState &state) const = 0;
    virtual bool projectInOrder(const ListSortState &state) const = 0;
    virtual void reorderProject(const QList<int> &order) = 0; // emits the project's change signal
    virtual void moveProjectRow(int from, int to) = 0;
    // The sorted place of the last project row among the rows before it.
    virtual int sortedPlaceOfLast() const = 0;

    void rowAppended(int index);
    void rowChanged(int index);
    void rowsReplaced();

    Project &m_project;

private:
    void moveLastRowTo(int pos);

    QStringList m_captions;
    int m_count = 0;           // the rows the views know of
    bool m_reordering = false; // our own reorder: the project's signal is no news
    ListSortState m_sort;
};

// "Main", "Remote", "Status", "No.", "URL", "Notes", "Anchor Text", with the
// row's image in the first column and its text in the row's colour. Every
// cell's whole text is its tooltip, for the columns too narrow to show it.
class ResultsListModel : public ProjectRowsModel
{
    Q_OBJECT
public:
    ResultsListModel(Project &project, QObject *parent = nullptr);
    QVariant data(const QModelIndex &index, int role) const override;

protected:
    int projectRowCount() const override;
    QString cellText(int row, int column) const override;
    QList<int> projectOrder(const ListSortState &state) const override;
    bool projectInOrder(const ListSortState &state) const override;
    void reorderProject(const QList<int> &order) override;
    void moveProjectRow(int from, int to) override;
    int sortedPlaceOfLast() const override;
};

// "Error", "URL".
class ErrorsListModel : public ProjectRowsModel
{
    Q_OBJECT
public:
    ErrorsListModel(Project &project, QObject *parent = nullptr);

protected:
    int projectRowCount() const override;
    QString cellText(int row, int column) const override;
    QList<int> projectOrder(const ListSortState &state) const override;
    bool projectInOrder(const ListSortState &state) const override;
    void reorderProject(const QList<int> &order) override;
    void moveProjectRow(int from, int to) override;
    int sortedPlaceOfLast() const override;
};
