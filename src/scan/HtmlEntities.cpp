#include "scan/HtmlEntities.h"

#include "scan/HtmlEntityTable.h"

#include <cstring>

namespace HtmlEntities {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
// The longest name in the table; a longer run of letters is no name.
constexpr qsizetype kMaxNameLength = 32;

bool isAsciiAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
}

int digitValue(QChar c, bool hex)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (hex && u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (hex && u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// A numeric reference to 0x80-0x9F means what the Western code page puts there.
char32_t numericCodePoint(char32_t value)
{
    static const char16_t windows1252[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return kReplacement;
    if (value >= 0x80 && value <= 0x9F)
        return windows1252[value - 0x80];
    return value;
}

void appendCodePoint(QString &out, char32_t cp)
{
    if (cp == 0)
        return;
    const char32_t one[1] = {cp};
    out += QString::fromUcs4(one, 1);
}

const HtmlEntityTable::Entry *findEntry(const QByteArray &name)
{
    int lo = 0;
    int hi = HtmlEntityTable::entryCount;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = std::strcmp(HtmlEntityTable::entries[mid].name, name.constData());
        if (c == 0)
            return &HtmlEntityTable::entries[mid];
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return nullptr;
}

bool isLegacyName(const QByteArray &name)
{
    int lo = 0;
    int hi = HtmlEntityTable::legacyCount;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        const int c = std::strcmp(HtmlEntityTable::legacyNames[mid], name.constData());
        if (c == 0)
            return true;
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return false;
}

// "&#...": the characters read from the "&", or 0 when it is no reference.
qsizetype readNumeric(QStringView text, qsizetype amp, QString &out)
{
    qsizetype i = amp + 2;
    const bool hex = i < text.size() && (text.at(i) == QLatin1Char('x') || text.at(i) == QLatin1Char('X'));
    if (hex)
        ++i;
    const qsizetype digitsStart = i;
    char32_t value = 0;
    bool tooLarge = false;
    while (i < text.size()) {
        const int d = digitValue(text.at(i), hex);
        if (d < 0)
            break;
        if (!tooLarge) {
            value = value * (hex ? 16 : 10) + char32_t(d);
            tooLarge = value > 0x10FFFF;
        }
        ++i;
    }
    if (i == digitsStart)
        return 0;
    if (i < text.size() && text.at(i) == QLatin1Char(';'))
        ++i;
    appendCodePoint(out, tooLarge ? kReplacement : numericCodePoint(value));
    return i - amp;
}

// "&name;" or a legacy name without its ";": the characters read, or 0.
qsizetype readNamed(QStringView text, qsizetype amp, Context context, QString &out)
{
    qsizetype end = amp + 1;
    while (end < text.size() && end - amp - 1 < kMaxNameLength && isAsciiAlnum(text.at(end)))
        ++end;
    const qsizetype length = end - amp - 1;
    if (length == 0)
        return 0;
    const QByteArray run = text.mid(amp + 1, length).toLatin1();
    if (end < text.size() && text.at(end) == QLatin1Char(';')) {
        if (const HtmlEntityTable::Entry *e = findEntry(run)) {
            appendCodePoint(out, e->codePoints[0]);
            appendCodePoint(out, e->codePoints[1]);
            return length + 2;
        }
    }
    // The longest legacy name the run begins with ("&notit;" is "¬it;").
    for (qsizetype n = qMin<qsizetype>(length, 6); n >= 2; --n) {
        const QByteArray name = run.left(n);
        if (!isLegacyName(name))
            continue;
        const qsizetype after = amp + 1 + n;
        const bool runsOn = after < text.size() && (isAsciiAlnum(text.at(after)) || text.at(after) == QLatin1Char('='));
        if (context == Context::Attribute && runsOn)
            return 0;
        const HtmlEntityTable::Entry *e = findEntry(name);
        if (!e)
            return 0;
        appendCodePoint(out, e->codePoints[0]);
        appendCodePoint(out, e->codePoints[1]);
        return n + 1;
    }
    return 0;
}

} // namespace

QString decode(QStringView text, Context context)
{
    qsizetype amp = text.indexOf(QLatin1Char('&'));
    if (amp < 0)
        return text.toString();
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    while (amp >= 0) {
        out += text.mid(copied, amp - copied);
        qsizetype used = 0;
        if (amp + 1 < text.size() && text.at(amp + 1) == QLatin1Char('#'))
            used = readNumeric(text, amp, out);
        else
            used = readNamed(text, amp, context, out);
        if (used == 0) {
            out += QLatin1Char('&');
            used = 1;
        }
        copied = amp + used;
        amp = text.indexOf(QLatin1Char('&'), copied);
    }
    out += text.mid(copied);
    return out;
}

} // namespace HtmlEntities
