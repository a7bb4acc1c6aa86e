#pragma once

#include <QString>

class QSqlDatabase;

// The tables of the history and the steps that bring an older database up to
// date. The version lives in PRAGMA user_version: 0 is a new, empty file.
namespace HistorySchema {

int currentVersion();

// Brings the database to the current version, each step in a transaction of
// its own, so an interrupted upgrade leaves the last complete version. A
// database of a newer version is left alone: false with the reason.
bool upgrade(QSqlDatabase &db, QString *error);

} // namespace HistorySchema
