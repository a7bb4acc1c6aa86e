#pragma once

#include <QDateTime>
#include <QString>

class QSqlError;

// What can be wrong with a history file, said so that a user knows what to
// do, and the way out of a damaged one: moving it aside for a new start.
namespace HistoryFile {

enum class Problem {
    None,
    Damaged,         // not a SQLite database, or one SQLite reports as corrupt
    FolderReadOnly,  // SQLite keeps its journal beside the file: the folder must be writable
    Busy,            // another program holds the write lock
    Other,
};

// Sorts a failure of SQLite on the history at `path`.
Problem classify(const QSqlError &error, const QString &path);

// The message for a failure: names the folder of a read-only one, says a
// damaged file is damaged; else SQLite's own words (never empty).
QString describe(Problem problem, const QSqlError &error, const QString &path);

// NAME.damaged-YYYYMMDD-HHMMSS beside the file, in local time.
QString damagedName(const QString &path, const QDateTime &when);

// Reads the whole file through SQLite's quick check: true when it is a
// history SQLite can read (a missing file is not damaged).
bool isDamaged(const QString &path, QString *reason = nullptr);

// Moves the history aside as damagedName(now), with its WAL and shared-memory
// files; the next run starts a new history. False, with the reason, when the
// file cannot be moved.
bool moveAside(const QString &path, QString *movedTo, QString *error);

} // namespace HistoryFile
