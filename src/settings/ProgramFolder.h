#pragma once

#include <QString>

// The folder that holds the program's own files: filetypes.txt, rules.log,
// quicksave.qsv, tempreport.html, the page caches, the help file, sounds/ and
// "Project Files". It is the executable's folder unless a front end or a test
// points it elsewhere.
class ProgramFolder
{
public:
    static QString path();
    static void setPath(const QString &folder);
    // The full path of a file of the program folder ("sounds/finished.wav").
    static QString filePath(const QString &relative);

private:
    static QString &override();
};
