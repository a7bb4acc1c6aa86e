#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>

QString &ProgramFolder::override()
{
    static QString folder;
    return folder;
}

QString ProgramFolder::path()
{
    if (!override().isEmpty())
        return override();
    return QCoreApplication::applicationDirPath();
}

void ProgramFolder::setPath(const QString &folder)
{
    override() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}

QString ProgramFolder::filePath(const QString &relative)
{
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir(path()).filePath(rel);
}
