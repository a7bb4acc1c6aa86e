#include "ui/ProjectCommands.h"

#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/ProjectStorage.h"
#include "settings/ProgramFolder.h"
#include "ui/DialogService.h"

#include <QWidget>

#include <QDir>

ProjectCommands::ProjectCommands(Project &project, QWidget *dialogParent)
    : QObject(dialogParent), m_project(project), m_parent(dialogParent)
{
}

QString ProjectCommands::projectFolder()
{
    return ProgramFolder::filePath(QStringLiteral("Project Files"));
}

QString ProjectCommands::fileFilter()
{
    return tr("Project Files (*.prj)");
}

void ProjectCommands::newProject()
{
    m_project.clearProject();
}

void ProjectCommands::openProject()
{
    const QString path =
        DialogService::instance().openFileName(m_parent, tr("Open Project"), projectFolder(), fileFilter());
    if (!path.isEmpty())
        openFile(path);
}

void ProjectCommands::openFile(const QString &path)
{
    const ProjectFile::ReadResult result = ProjectStorage::open(m_project, path);
    if (result.opened)
        emit fileRead(result.complete);
}

bool ProjectCommands::saveProject()
{
    DialogService &dialogs = DialogService::instance();
    const QString proposed = QDir(projectFolder()).filePath(ProjectFile::proposedSaveName(m_project));
    QString path = dialogs.saveFileName(m_parent, tr("Save Project"), proposed, fileFilter());
    if (path.isEmpty())
        return false;
    QString error;
    if (ProjectStorage::save(m_project, path, &error))
        return true;
    // A second chance under a plain name.
    path = dialogs.saveFileName(m_parent, tr("Save Project"), QDir(projectFolder()).filePath(QStringLiteral("unnamed.prj")),
                                fileFilter());
    if (path.isEmpty())
        return false;
    if (ProjectStorage::save(m_project, path, &error))
        return true;
    // Two failed writes are not passed over in silence: the project is still unsaved.
    DialogService::inform(m_parent, tr("The project could not be saved to %1: %2").arg(path, error),
                          tr("Save Project"), DialogService::Icon::Warning);
    return false;
}

void ProjectCommands::askToSaveOnExit()
{
    if (m_project.isSaved())
        return;
    const auto answer = DialogService::instance().ask(
        m_parent, {tr("Save Project?"),
                   tr("The current project has been edited but has not been saved.") + QLatin1Char('\n')
                       + tr("Would you like to save now?"),
                   DialogService::Buttons::YesNo, DialogService::Icon::Question});
    if (answer == DialogService::Button::Yes)
        saveProject();
}
