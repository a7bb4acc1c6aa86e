#include "model/ProjectStorage.h"

#include "model/Project.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace ProjectStorage {

ProjectFile::ReadResult open(Project &project, const QString &path)
{
    project.clearProject();
    SettingsStore::instance().write(Keys::LastProject, path);
    return ProjectFile::read(project, path);
}

bool save(Project &project, const QString &path, QString *error)
{
    if (!ProjectFile::write(project, path, error))
        return false;
    project.setSaved(true);
    SettingsStore::instance().write(Keys::LastProject, path);
    return true;
}

QString lastProject()
{
    return SettingsStore::instance().read(Keys::LastProject, QString());
}

bool rebuildWithoutMainSite(Project &project, int pos, QString *error)
{
    const QString snapshot = ProgramFolder::filePath(QStringLiteral("quicksave.qsv"));
    if (!ProjectFile::write(project, snapshot, error, pos)) {
        project.removeMainSite(pos);
        project.markEdited();
        return false;
    }
    ProjectFile::read(project, snapshot);
    project.markEdited();
    return true;
}

} // namespace ProjectStorage
