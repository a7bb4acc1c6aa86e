#pragma once

#include <QString>

// The folder that holds the program's own files: filetypes.txt, rules.log,
// quicksave.qsv, tempreport.html and the page caches. Run from the build tree
// (or from any writable folder that holds the shipped files) it is the
// executable's folder. An installed program, or one whose folder cannot be
// written, uses the user's data folder instead (created on first use), finds
// the files it ships (Help.html, sounds/) where they were installed, and
// starts its project dialogs in the user's documents folder. A front end or a
// test may point everything at one folder of its choice.
class ProgramFolder
{
public:
    static QString path();
    static void setPath(const QString &folder);
    // The full path of a file of the program folder ("sounds/finished.wav").
    static QString filePath(const QString &relative);
    // The full path of a read-only file that comes with the program: the
    // help file and the sounds.
    static QString shippedFilePath(const QString &relative);
    // The folder "Project Files", where the Open, Save and import dialogs start.
    static QString projectFilesFolder();
    // Where a dialog for other files of the user's starts (the links page):
    // the program folder, or the documents folder for an installed program.
    static QString userFilesFolder();

    // Where each kind of file lives for an executable in executableFolder.
    struct Layout
    {
        QString programFolder;
        QString shippedFolder;
        QString projectFiles;
        QString userFiles;
        bool inUserData = false;
    };
    static Layout layoutFor(const QString &executableFolder, bool executableFolderWritable,
                            const QString &userDataFolder, const QString &documentsFolder);

private:
    static QString &override();
    static const Layout &automaticLayout();
};
