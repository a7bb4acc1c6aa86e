#pragma once

#include <QStringList>

// The page-type list kept in filetypes.txt in the program folder.
namespace FileTypes {

// Entries of the file as written: lines that are empty or one space are
// skipped; a line ends at CR LF, a lone CR or a lone LF. A missing file is an
// empty list.
QStringList readList();
QStringList readList(const QString &path);

// Replaces the whole file with the entries, one per line, CR LF.
bool writeList(const QStringList &entries);

// The patterns a scan uses: the entries joined with "|" and split at "|", so
// an entry holding "|" gives several patterns.
QStringList scanPatterns();

} // namespace FileTypes
