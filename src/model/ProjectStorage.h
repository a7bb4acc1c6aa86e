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

// Rebuilds the project without one Main Site by writing quicksave.qsv and
// reading it back; afterwards the project counts as edited. When the snapshot
// cannot be written the Main Site is removed directly and false is returned
// with the reason.
bool rebuildWithoutMainSite(Project &project, int pos, QString *error = nullptr);

} // namespace ProjectStorage
