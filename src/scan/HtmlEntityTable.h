#pragma once

// The named character references of HTML ("amp" for "&amp;"), sorted by name
// in byte order. A reference stands for one or two code points; the second
// is 0 when there is one.
namespace HtmlEntityTable {

struct Entry
{
    const char *name; // without "&" and ";"
    char32_t codePoints[2];
};

extern const Entry entries[];
extern const int entryCount;
// The names a page may write without the closing ";" ("&copy 2024"), sorted.
extern const char *const legacyNames[];
extern const int legacyCount;

} // namespace HtmlEntityTable
