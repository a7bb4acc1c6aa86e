#pragma once

#include "model/ListSortState.h"
#include "model/ProjectTypes.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <numeric>

// The order of the results and errors lists. Sorting reorders the project's
// own rows, so the report, the export, the links page, posting and saving all
// walk them in the order the user sees.

// The text a column shows: results "Main", "Remote", "Status", "No.", "URL",
// "Notes", "Anchor Text";
// errors "Error", "URL". A column outside the list gives "".
QString columnText(const LinkResult &row, int column);
QString columnText(const ErrorEntry &row, int column);

// The new order of the rows as positions of the old list: stable, so rows
// with equal texts keep their relative order in either direction.
template <typename Row>
QList<int> sortedOrder(const QList<Row> &rows, const ListSortState &state)
{
    QList<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    QList<QString> keys;
    keys.reserve(rows.size());
    for (const Row &r : rows)
        keys.append(columnText(r, state.column));
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = compareColumnTexts(keys.at(a), keys.at(b));
        return state.descending ? c > 0 : c < 0;
    });
    return order;
}

template <typename Row>
QList<Row> applyOrder(const QList<Row> &rows, const QList<int> &order)
{
    QList<Row> out;
    out.reserve(order.size());
    for (int i : order)
        out.append(rows.at(i));
    return out;
}

template <typename Row>
bool isInOrder(const QList<Row> &rows, const ListSortState &state)
{
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const int c = compareColumnTexts(columnText(rows.at(i - 1), state.column),
                                         columnText(rows.at(i), state.column));
        if (state.descending ? c < 0 : c > 0)
            return false;
    }
    return true;
}

// Where a new row goes among the first `count` rows, which are in order:
// after every row it ties with, as a sorted list control places it.
template <typename Row>
int sortedInsertPosition(const QList<Row> &rows, int count, const Row &row, const ListSortState &state)
{
    const QString key = columnText(row, state.column);
    int lo = 0;
    int hi = count;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = compareColumnTexts(key, columnText(rows.at(mid), state.column));
        const bool before = state.descending ? c > 0 : c < 0;
        if (before)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}
