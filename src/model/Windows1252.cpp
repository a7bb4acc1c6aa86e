#include "model/Windows1252.h"

#include <QSet>

namespace {

// The characters of bytes 0x80 to 0x9F; an unassigned byte keeps its own number.
const char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of a character, or -1 when the code page has none.
int byteOf(char16_t u)
{
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return u;
    for (int i = 0; i < 32; ++i)
        if (kHighControls[i] == u)
            return 0x80 + i;
    return -1;
}

} // namespace

namespace Windows1252 {

QString decode(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = QChar(b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char16_t(b));
    }
    return out;
}

QByteArray encode(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = byteOf(text.at(i).unicode());
        if (b >= 0) {
            out += char(b);
            continue;
        }
        out += '?';
        // A character beyond the 16-bit range is one "?", not two.
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    return out;
}

bool canHold(QChar c)
{
    return byteOf(c.unicode()) >= 0;
}

QString unholdable(const QString &text)
{
    QString out;
    QSet<char32_t> seen;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (canHold(c))
            continue;
        qsizetype length = 1;
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, text.at(i + 1));
            length = 2;
        }
        if (!seen.contains(code)) {
            seen.insert(code);
            out += text.mid(i, length);
        }
        i += length - 1;
    }
    return out;
}

} // namespace Windows1252
