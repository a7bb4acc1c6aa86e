#pragma once

#include <QString>
#include <QStringView>

// Case-insensitive search and replace for the scan's hot paths. The page
// texts are searched for short ASCII words many times per page; Qt's general
// case folding makes that the most expensive part of a scan. For an ASCII
// needle the same matches are found by comparing ASCII letters without case
// and mapping the two other characters that fold to an ASCII letter (KELVIN
// SIGN to "k", LONG S to "s"); other needles take Qt's own search.
namespace TextSearch {

qsizetype indexOfNoCase(QStringView haystack, QStringView needle, qsizetype from = 0);
bool containsNoCase(QStringView haystack, QStringView needle);
// Replaces every non-overlapping occurrence, scanning from the left, as
// QString::replace with Qt::CaseInsensitive does.
void replaceNoCase(QString &text, QStringView before, QStringView after);

} // namespace TextSearch
