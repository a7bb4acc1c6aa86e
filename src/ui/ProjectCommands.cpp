#include "ui/ProjectCommands.h"

#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/ProjectStorage.h"
#include "settings/ProgramFolder.h"
#include "ui/DialogService.h"

#include <QWidget>


ProjectCommands::ProjectCommands(Project &project, QWidget *dialogParent)
    : QObject(dialogParent), m_project(project), m_parent(dialogParent)
{
}

QString ProjectCommands::projectFolder()
{
    return ProgramFolder::projectFilesFolder();
}

QString ProjectCommands::fileFilter()
{
    return tr("Project Files (*.prj)");
}

void ProjectCommands::newProject()
{
    m_project.clearProject();
    setFilePath(QString());
}

void ProjectCommands::setFilePath(const QString &path)
{
    // Told at every open, save and New, the same file again included: what
    // belongs to the file (its history) is read anew.
    m_filePath = path;
    emit filePathChanged(path);
}

void ProjectCommands::openProject()
{
    const QString path =
        DialogService::instance().openFile(m_parent, projectFolder(), fileFilter());
    if (!path.isEmpty())
        openFile(path);
}

void ProjectCommands::openFile(const QString &path)
{
    const ProjectFile::ReadResult result = ProjectStorage::open(m_project, path);
    setFilePath(result.opened ? path : QString());
    if (result.opened)
        emit fileRead(result.complete);
}

bool ProjectCommands::saveProject()
{
    DialogService &dialogs = DialogService::instance();
    QString path = dialogs.saveFile(m_parent, projectFolder(), ProjectFile::proposedSaveName(m_project), fileFilter());
    if (path.isEmpty())
        return false;
    QString error;
    if (ProjectStorage::save(m_project, path, &error)) {
        setFilePath(path);
        return true;
    }
    // A second chance under a plain name.
    path = dialogs.saveFile(m_parent, projectFolder(), QStringLiteral("unnamed.prj"), fileFilter());
    if (path.isEmpty())
        return false;
    if (ProjectStorage::save(m_project, path, &error)) {
        setFilePath(path);
        return true;
    }
    // Two failed writes are not passed over in silence: the project is still unsaved.
    dialogs.message(m_parent, tr("The project could not be saved to %1: %2").arg(path, error), tr("Save Project"),
                    DialogService::Buttons::Ok, DialogService::Icon::Warning);
    return false;
}

void ProjectCommands::askToSaveOnExit()
{
    if (m_project.isSaved())
        return;
    const auto answer = DialogService::instance().message(
        m_parent,
        tr("The current project has been edited but has not been saved.") + QLatin1Char('\n')
            + tr("Would you like to save now?"),
        tr("Save Project?"), DialogService::Buttons::YesNo);
    if (answer == DialogService::Answer::Yes)
        saveProject();
}
