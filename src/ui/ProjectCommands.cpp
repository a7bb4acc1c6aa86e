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
    if (keepsUnsavedWork())
        return;
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
    if (keepsUnsavedWork())
        return;
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

// Names the characters a project file cannot hold, with their code points for
// the ones that do not show.
static QString unstorableQuestion(const QString &characters)
{
    QStringList named;
    int count = 0;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const bool pair = characters.at(i).isHighSurrogate() && i + 1 < characters.size()
                       && characters.at(i + 1).isLowSurrogate();
        const char32_t code = pair ? QChar::surrogateToUcs4(characters.at(i), characters.at(i + 1))
                                   : characters.at(i).unicode();
        if (++count <= 20)
            named << QStringLiteral("%1 (U+%2)")
                         .arg(characters.mid(i, pair ? 2 : 1),
                              QString::number(uint(code), 16).toUpper().rightJustified(4, QLatin1Char('0')));
        if (pair)
            ++i;
    }
    if (count > 20)
        named << ProjectCommands::tr("and %1 more").arg(count - 20);
    return ProjectCommands::tr("A project file cannot hold these characters of the project; they will be saved "
                               "as \"?\":")
        + QLatin1Char('\n') + named.join(QStringLiteral(", ")) + QStringLiteral("\n\n")
        + ProjectCommands::tr("Save anyway?");
}

bool ProjectCommands::saveProject()
{
    DialogService &dialogs = DialogService::instance();
    // Nothing the file cannot hold vanishes without the user knowing.
    const QString unstorable = ProjectFile::unstorableCharacters(m_project);
    if (!unstorable.isEmpty()
        && dialogs.message(m_parent, unstorableQuestion(unstorable), tr("Save Project"),
                           DialogService::Buttons::OkCancel, DialogService::Icon::Warning)
               != DialogService::Answer::Ok)
        return false;
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

static DialogService::Answer askToSave(QWidget *parent, DialogService::Buttons buttons)
{
    return DialogService::instance().message(
        parent,
        ProjectCommands::tr("The current project has been edited but has not been saved.") + QLatin1Char('\n')
            + ProjectCommands::tr("Would you like to save now?"),
        ProjectCommands::tr("Save Project?"), buttons);
}

bool ProjectCommands::askToSaveOnExit()
{
    if (m_project.isSaved())
        return true;
    // Yes or No, no escape: leaving must not throw the edits away by a slip.
    if (askToSave(m_parent, DialogService::Buttons::YesNoOnly) == DialogService::Answer::Yes)
        return saveProject();
    return true;
}

bool ProjectCommands::keepsUnsavedWork()
{
    if (m_project.isSaved())
        return false;
    switch (askToSave(m_parent, DialogService::Buttons::YesNoCancel)) {
    case DialogService::Answer::Yes: return !saveProject();
    case DialogService::Answer::No: return false;
    default: return true;
    }
}
