#pragma once

#include "model/ProjectFile.h"

class Project;

// The file flows around the project: open (remembering the path), save, and the
// rebuild through quicksave.qsv after one of several Main Sites is deleted.
// Dialogs and the report stay with the front end.
namespace ProjectStorage {

// Stores the path under LastProject before reading, so a path that cannot be
// read is still remembered.
ProjectFile::ReadResult open(Project &project, const QString &path);

// Writes the project, then marks it saved and stores the path under LastProject.
bool save(Project &project, const QString &path, QString *error = nullptr);

// The path remembered under LastProject, "" when none.
QString lastProject();

// Rebuilds the project without one Main Site: quicksave.qsv is written
// without it, and the project ends as that file would read back if it could
// hold everything (no colours, the first Main Site current), keeping what the
// file cannot hold. Afterwards the project counts as edited. False, with the
// reason, when the snapshot could not be written; the project is rebuilt all
// the same.
bool rebuildWithoutMainSite(Project &project, int pos, QString *error = nullptr);

} // namespace ProjectStorage
