#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The backlink CSV exports of the common tools: the search engine webmaster
// console's links export and the backlink exports of the commercial backlink
// indexes. Each has a column of linking (source) pages and, mostly, one of
// the pages they link to (targets), under names that differ from tool to
// tool; UTF-8 or UTF-16 (with or without a byte order mark), separated by
// commas, semicolons or tabs, quoted as CSV quotes.
struct BacklinkRow
{
    QString source;   // the linking page, trimmed
    QString target;   // the page linked to; "" without a target column
};

struct BacklinkTable
{
    bool ok = false;
    QString error;            // why nothing could be read
    bool hasTarget = false;
    QString sourceColumn;     // the header names found, as written
    QString targetColumn;
    QList<BacklinkRow> rows;  // every record after the header, in order
};

namespace BacklinkCsv {

// Text of the file: a byte order mark says the encoding; without one, UTF-16
// is recognised by its zero bytes, and text that is not UTF-8 is read as
// Windows-1252.
QString decode(const QByteArray &bytes);
// The records of CSV text: fields quoted with '"' may hold the delimiter,
// doubled quotes and line breaks; an unclosed quote runs to the end.
QList<QStringList> records(const QString &text, QChar delimiter, qsizetype maxRecords = -1);
// Finds the delimiter and the header (within the first records), and takes
// the source and target columns of every record after it.
BacklinkTable read(const QByteArray &bytes);

} // namespace BacklinkCsv
