#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// Where the install puts the shipped files, relative to the installed
// executables (the build system knows both folders).
#ifndef RECIPLEX_INSTALL_BINDIR
#define RECIPLEX_INSTALL_BINDIR "/usr/bin"
#endif
#ifndef RECIPLEX_SHIPPED_FROM_BIN
#define RECIPLEX_SHIPPED_FROM_BIN "../share/reciplex"
#endif

QString &ProgramFolder::override()
{
    static QString folder;
    return folder;
}

ProgramFolder::Layout ProgramFolder::layoutFor(const QString &executableFolder, bool executableFolderWritable,
                                               const QString &userDataFolder, const QString &documentsFolder)
{
    const QDir exe(executableFolder);
    // Help and sounds beside the executable: the build tree, or a copy of the
    // program kept in a folder of its own.
    const bool shippedBeside = exe.exists(QStringLiteral("Help.html")) || exe.exists(QStringLiteral("sounds"));
    const QString installedShipped = QDir::cleanPath(exe.filePath(QStringLiteral(RECIPLEX_SHIPPED_FROM_BIN)));
    // An installed program keeps its own files out of bin/ even where it could
    // write there (run by root, or installed under the user's home). The
    // scanner's package alone has no share/reciplex: its bindir says it.
    const bool installed = !shippedBeside
        && (QFileInfo(installedShipped).isDir()
            || QDir::cleanPath(exe.absolutePath()) == QLatin1String(RECIPLEX_INSTALL_BINDIR));

    Layout layout;
    layout.shippedFolder = installed ? installedShipped : exe.absolutePath();
    layout.inUserData = installed || !executableFolderWritable;
    if (!layout.inUserData) {
        layout.programFolder = exe.absolutePath();
        layout.projectFiles = exe.filePath(QStringLiteral("Project Files"));
        layout.userFiles = layout.programFolder;
        return layout;
    }
    layout.programFolder = userDataFolder;
    // The program never creates "Project Files"; until the user makes one, the
    // dialogs start in the documents folder itself.
    const QString projectFiles = QDir(documentsFolder).filePath(QStringLiteral("Project Files"));
    layout.projectFiles = QFileInfo(projectFiles).isDir() ? projectFiles : documentsFolder;
    layout.userFiles = documentsFolder;
    return layout;
}

const ProgramFolder::Layout &ProgramFolder::automaticLayout()
{
    static const Layout layout = [] {
        const QString exe = QCoreApplication::applicationDirPath();
        // A home without a documents folder: the dialogs start at home.
        QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!QFileInfo(documents).isDir())
            documents = QDir::homePath();
        Layout l = layoutFor(exe, QFileInfo(exe).isWritable(),
                             QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), documents);
        if (l.inUserData)
            QDir().mkpath(l.programFolder);
        return l;
    }();
    return layout;
}

QString ProgramFolder::path()
{
    if (!override().isEmpty())
        return override();
    return automaticLayout().programFolder;
}

void ProgramFolder::setPath(const QString &folder)
{
    override() = folder.isEmpty() ? QString() : QDir(folder).absolutePath();
}

static QString joined(const QString &folder, const QString &relative)
{
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir(folder).filePath(rel);
}

QString ProgramFolder::filePath(const QString &relative)
{
    return joined(path(), relative);
}

QString ProgramFolder::shippedFilePath(const QString &relative)
{
    if (!override().isEmpty())
        return joined(override(), relative);
    return joined(automaticLayout().shippedFolder, relative);
}

QString ProgramFolder::projectFilesFolder()
{
    if (!override().isEmpty())
        return joined(override(), QStringLiteral("Project Files"));
    return automaticLayout().projectFiles;
}

QString ProgramFolder::userFilesFolder()
{
    if (!override().isEmpty())
        return override();
    return automaticLayout().userFiles;
}
