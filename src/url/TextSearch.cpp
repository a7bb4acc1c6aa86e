#include "url/TextSearch.h"

namespace {

inline char16_t foldHay(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return c + 32;
    if (c == 0x212A)
        return u'k';
    if (c == 0x017F)
        return u's';
    return c;
}

inline char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? c + 32 : c;
}

bool isAscii(QStringView s)
{
    for (QChar c : s)
        if (c.unicode() >= 128)
            return false;
    return true;
}

// Where the search for each case of the needle's first character stands
// (-2: not looked for yet, -1: none left). A search that goes on from a later
// place keeps them, so replacing every match walks the text once per case
// instead of once per match.
struct Candidates
{
    qsizetype nextLower = -2;
    qsizetype nextUpper = -2;
};

qsizetype findNoCase(QStringView haystack, QStringView needle, qsizetype from, Candidates &cand);

} // namespace

namespace TextSearch {

qsizetype indexOfNoCase(QStringView haystack, QStringView needle, qsizetype from)
{
    Candidates cand;
    return findNoCase(haystack, needle, from, cand);
}

} // namespace TextSearch

namespace {

qsizetype findNoCase(QStringView haystack, QStringView needle, qsizetype from, Candidates &cand)
{
    if (from < 0)
        from = 0;
    if (needle.isEmpty() || !isAscii(needle))
        return haystack.indexOf(needle, from, Qt::CaseInsensitive);
    const qsizetype n = haystack.size();
    const qsizetype m = needle.size();
    if (m > n)
        return -1;
    const char16_t *h = haystack.utf16();
    const char16_t *k = needle.utf16();
    const char16_t first = foldAscii(k[0]);
    auto restMatches = [&](qsizetype i) {
        qsizetype j = 1;
        while (j < m && foldHay(h[i + j]) == foldAscii(k[j]))
            ++j;
        return j == m;
    };
    // "k" and "s" also match the Kelvin sign and the long s: those needles take
    // the plain loop.
    if (first == u'k' || first == u's') {
        for (qsizetype i = from; i + m <= n; ++i)
            if (foldHay(h[i]) == first && restMatches(i))
                return i;
        return -1;
    }
    // Otherwise the candidates are the places of the first character in either
    // case, found by Qt's vectorised character search. Each case keeps its own
    // next place, so the text is walked once per case whatever the mix.
    const char16_t upper = (first >= u'a' && first <= u'z') ? char16_t(first - 32) : first;
    qsizetype &nextLower = cand.nextLower;
    qsizetype &nextUpper = cand.nextUpper;
    if (upper == first)
        nextUpper = -1;
    qsizetype i = from;
    while (i + m <= n) {
        if (nextLower != -1 && nextLower < i)
            nextLower = haystack.indexOf(QChar(first), i, Qt::CaseSensitive);
        if (nextUpper != -1 && nextUpper < i)
            nextUpper = haystack.indexOf(QChar(upper), i, Qt::CaseSensitive);
        qsizetype c = nextLower;
        if (c < 0 || (nextUpper >= 0 && nextUpper < c))
            c = nextUpper;
        if (c < 0 || c + m > n)
            return -1;
        if (restMatches(c))
            return c;
        i = c + 1;
    }
    return -1;
}

} // namespace

namespace TextSearch {

bool containsNoCase(QStringView haystack, QStringView needle)
{
    return indexOfNoCase(haystack, needle) >= 0;
}

void replaceNoCase(QString &text, QStringView before, QStringView after)
{
    if (before.isEmpty())
        return;
    Candidates cand;
    qsizetype at = findNoCase(text, before, 0, cand);
    if (at < 0)
        return;
    QString out;
    out.reserve(text.size() + 16 * after.size());
    qsizetype done = 0;
    while (at >= 0) {
        out += QStringView(text).mid(done, at - done);
        out += after;
        done = at + before.size();
        at = findNoCase(text, before, done, cand);
    }
    out += QStringView(text).mid(done);
    text = out;
}

} // namespace TextSearch
