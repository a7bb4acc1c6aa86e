#include "import/BacklinkCsv.h"

#include <QStringDecoder>

namespace {

// Header names, lower case with everything but letters and digits dropped.
const QStringList kSourceNames = {
    "linkingpage", "sourceurl", "sourcepage", "sourcepageurl", "referringpageurl", "referringpage",
    "referringurl", "backlinkurl", "backlink", "fromurl", "urlfrom", "linkingurl", "source"};
const QStringList kTargetNames = {"targeturl", "targetpage", "targetpageurl", "target", "destinationurl", "linkedpage",
                                  "linkedurl", "tourl", "urlto", "linkurl"};

// Where the header is looked for.
constexpr int kHeaderSearch = 20;

QString headerKey(const QString &name)
{
    QString key;
    for (const QChar ch : name)
        if (ch.isLetterOrNumber())
            key += ch.toLower();
    return key;
}

int columnOf(const QStringList &header, const QStringList &names)
{
    // The first name of the list that is there: "Source URL" before a "Source" column.
    for (const QString &name : names)
        for (int i = 0; i < header.size(); ++i)
            if (headerKey(header.at(i)) == name)
                return i;
    return -1;
}

bool looksLikeUtf16(const QByteArray &bytes, bool littleEndian)
{
    const qsizetype n = qMin<qsizetype>(bytes.size(), 4096) & ~qsizetype(1);
    if (n < 2)
        return false;
    int zeros = 0;
    for (qsizetype i = littleEndian ? 1 : 0; i < n; i += 2)
        zeros += bytes.at(i) == 0 ? 1 : 0;
    return zeros * 4 >= n; // at least half of the characters are ASCII
}

} // namespace

namespace BacklinkCsv {

QString decode(const QByteArray &bytes)
{
    std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForData(bytes);
    if (!encoding) {
        if (looksLikeUtf16(bytes, true))
            encoding = QStringConverter::Utf16LE;
        else if (looksLikeUtf16(bytes, false))
            encoding = QStringConverter::Utf16BE;
    }
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8), QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(bytes);
    if (!decoder.hasError() || encoding)
        return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
    QStringDecoder windows("windows-1252");
    return windows.isValid() ? QString(windows.decode(bytes)) : QString::fromLatin1(bytes);
}

QList<QStringList> records(const QString &text, QChar delimiter, qsizetype maxRecords)
{
    QList<QStringList> out;
    QStringList record;
    QString field;
    bool quoted = false;       // inside a quoted part of the field
    bool fieldStarted = false;
    const auto endRecord = [&] {
        record << field;
        if (!(record.size() == 1 && record.first().isEmpty() && !fieldStarted))
            out << record; // blank lines are no records
        record.clear();
        field.clear();
        fieldStarted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (quoted) {
            if (ch == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                    field += text.at(++i);
                else
                    quoted = false;
            } else {
                field += ch;
            }
        } else if (ch == QLatin1Char('"')) {
            quoted = true;
            fieldStarted = true;
        } else if (ch == delimiter) {
            record << field;
            field.clear();
            fieldStarted = true;
        } else if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
            if (ch == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endRecord();
            if (maxRecords >= 0 && out.size() >= maxRecords)
                return out;
        } else {
            field += ch;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !record.isEmpty())
        endRecord();
    return out;
}

BacklinkTable read(const QByteArray &bytes)
{
    BacklinkTable table;
    const QString text = decode(bytes);
    // The delimiter is the one under which a header with a source column
    // appears; tab first, as titles and anchors often hold commas.
    for (const QChar delimiter : {QLatin1Char('\t'), QLatin1Char(';'), QLatin1Char(',')}) {
        const QList<QStringList> head = records(text, delimiter, kHeaderSearch);
        for (int h = 0; h < head.size(); ++h) {
            const int source = columnOf(head.at(h), kSourceNames);
            if (source < 0)
                continue;
            const int target = columnOf(head.at(h), kTargetNames);
            table.ok = true;
            table.hasTarget = target >= 0;
            table.sourceColumn = head.at(h).at(source).trimmed();
            if (target >= 0)
                table.targetColumn = head.at(h).at(target).trimmed();
            const QList<QStringList> all = records(text, delimiter);
            for (qsizetype r = h + 1; r < all.size(); ++r) {
                const QStringList &record = all.at(r);
                BacklinkRow row;
                row.source = record.value(source).trimmed();
                if (target >= 0)
                    row.target = record.value(target).trimmed();
                table.rows << row;
            }
            return table;
        }
    }
    table.error = QStringLiteral("No column of linking pages was found (a header such as \"Source URL\", "
                                 "\"Referring page URL\" or \"Linking page\").");
    return table;
}

} // namespace BacklinkCsv
