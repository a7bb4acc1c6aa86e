#pragma once

#include <QObject>

class Project;
class QWidget;

// New, Open and Save as the user meets them: the file dialogs starting in
// "Project Files", the proposed save name with its second attempt, and the
// question asked when the window closes with unsaved changes.
class ProjectCommands : public QObject
{
    Q_OBJECT
public:
    ProjectCommands(Project &project, QWidget *dialogParent);

    void newProject();
    void openProject();                    // asks for a file, then reads it
    void openFile(const QString &path);    // Open and start-up
    bool saveProject();                    // true when a file was written
    void askToSaveOnExit();                // only when the project has unsaved changes

    static QString projectFolder();
    static QString fileFilter();

    // The file the project was last opened from or saved to; "" for a
    // project never saved (New, or a file that could not be opened).
    QString filePath() const { return m_filePath; }

signals:
    // A project file was read; complete is false when a line stopped the reading.
    void fileRead(bool complete);
    // The project was opened from, saved to or (New) detached from a file.
    void filePathChanged(const QString &path);

private:
    void setFilePath(const QString &path);

    Project &m_project;
    QString m_filePath;
    QWidget *m_parent;
};
