#pragma once

#include <QString>

// The one sorting rule of the project's lists (each Main Site's Linking Sites,
// the results, the errors): off until the list's first header click. There is
// one direction for the whole list and it flips on every click, whatever
// column was clicked; it starts ascending, so the first click sorts
// descending.
struct ListSortState
{
    bool sorted = false;
    int column = 0; // 0-based
    bool descending = false;

    void click(int column0)
    {
        sorted = true;
        column = column0;
        descending = !descending;
    }
};

// Column texts are compared as texts, letter case ignored; the results' "No."
// column sorts numerically all the same because its values are zero-padded.
inline int compareColumnTexts(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive);
}
