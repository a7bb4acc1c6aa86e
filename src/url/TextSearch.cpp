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

qsizetype findNoCase(QStringView haystack, QStringView needle, qsizetype from);

} // namespace

namespace TextSearch {

qsizetype indexOfNoCase(QStringView haystack, QStringView needle, qsizetype from)
{
    return findNoCase(haystack, needle, from);
}

} // namespace TextSearch

namespace {

// The first place from `from` on of either character. The text is searched
// in windows that double in size, so a search costs time in proportion to
// how far its match lies, not to the rest of the text: a page searched for
// every "href=" in turn is walked about twice, even when one of the two
// cases never occurs in it.
qsizetype indexOfEither(QStringView haystack, char16_t a, char16_t b, qsizetype from)
{
    const qsizetype n = haystack.size();
    qsizetype window = 64;
    for (qsizetype start = from; start < n; start += window, window *= 2) {
        const QStringView part = haystack.mid(start, qMin(window, n - start));
        qsizetype at = part.indexOf(QChar(a));
        if (b != a) {
            const qsizetype other = part.indexOf(QChar(b));
            if (other >= 0 && (at < 0 || other < at))
                at = other;
        }
        if (at >= 0)
            return start + at;
    }
    return -1;
}

qsizetype findNoCase(QStringView haystack, QStringView needle, qsizetype from)
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
    // case, found by Qt's vectorised character search.
    const char16_t upper = (first >= u'a' && first <= u'z') ? char16_t(first - 32) : first;
    qsizetype i = from;
    while (i + m <= n) {
        const qsizetype c = indexOfEither(haystack, first, upper, i);
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
    qsizetype at = findNoCase(text, before, 0);
    if (at < 0)
        return;
    QString out;
    out.reserve(text.size() + 16 * after.size());
    qsizetype done = 0;
    while (at >= 0) {
        out += QStringView(text).mid(done, at - done);
        out += after;
        done = at + before.size();
        at = findNoCase(text, before, done);
    }
    out += QStringView(text).mid(done);
    text = out;
}

} // namespace TextSearch
