#include "outputs/ListOrder.h"

QString columnText(const LinkResult &row, int column)
{
    switch (column) {
    case 0: return row.mainSite;
    case 1: return row.remoteSite;
    case 2: return row.status;
    case 3: return row.number;
    case 4: return row.url;
    case 5: return row.notes;
    case 6: return row.anchor;
    default: return QString();
    }
}

QString columnText(const ErrorEntry &row, int column)
{
    switch (column) {
    case 0: return row.error;
    case 1: return row.url;
    default: return QString();
    }
}
