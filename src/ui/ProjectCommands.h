#pragma once

#include <QObject>

class Project;
class QWidget;

// New, Open and Save as the user meets them: the file dialogs starting in
// "Project Files", the proposed save name with its second attempt, and the
// question asked before unsaved changes would be lost.
class ProjectCommands : public QObject
{
    Q_OBJECT
public:
    ProjectCommands(Project &project, QWidget *dialogParent);

    // New and Open first ask whether to save an edited project (Yes, No,
    // Cancel); Cancel, or a Yes that wrote nothing, leaves it as it is.
    void newProject();
    void openProject();                    // asks for a file, then reads it
    void openFile(const QString &path);    // Open and start-up
    bool saveProject();                    // true when a file was written
    // When the window closes with unsaved changes: Yes or No, no escape.
    // False when the user chose Yes and nothing was written: the window stays.
    bool askToSaveOnExit();

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
    // Asks about an edited project before it is replaced; true when the user
    // cancelled or the save he asked for wrote nothing.
    bool keepsUnsavedWork();

    Project &m_project;
    QString m_filePath;
    QWidget *m_parent;
};
