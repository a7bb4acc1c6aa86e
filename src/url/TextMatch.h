#pragma once

#include <QString>

// Text tests shared by every subsystem. "Contains" follows the program's rule:
// an empty text is contained in every non-empty text, and nothing is contained
// in an empty text.
inline bool containsText(const QString &haystack, const QString &needle,
                         Qt::CaseSensitivity cs = Qt::CaseInsensitive)
{
    if (haystack.isEmpty())
        return false;
    return needle.isEmpty() || haystack.contains(needle, cs);
}

inline bool containsNoCase(const QString &haystack, const QString &needle)
{
    return containsText(haystack, needle, Qt::CaseInsensitive);
}

// True for "" and for a text that is exactly one space: the program's notion
// of an entry left blank.
inline bool isBlankEntry(const QString &text)
{
    return text.isEmpty() || text == QLatin1String(" ");
}
