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
    const bool written = ProjectFile::write(project, snapshot, error, pos);
    // The working project is not replaced by what the snapshot reads back:
    // whatever the file cannot hold (a Linking Site that reads back as a
    // marker line and takes every later line with it, a character beyond the
    // code page, a "|" inside a value) would be lost. It is rebuilt from itself
    // with the effects of a reopened file: colours gone, the first Main Site
    // current, the entry boxes and the page queue emptied by the reset.
    Project rebuilt;
    rebuilt.assign(project);
    rebuilt.removeMainSite(pos);
    rebuilt.resetLinkingSiteColours();
    rebuilt.setCurrentMainSite(rebuilt.mainSiteCount() > 0 ? 0 : -1);
    project.assign(rebuilt);
    project.markEdited();
    return written;
}

} // namespace ProjectStorage
