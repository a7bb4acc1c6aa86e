#include "settings/FileTypes.h"

#include "settings/ProgramFolder.h"
#include "url/TextLines.h"

#include <QFile>
#include <QSaveFile>

namespace FileTypes {

static QString listPath()
{
    return ProgramFolder::filePath(QStringLiteral("filetypes.txt"));
}

QStringList readList(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList entries;
    // Lines end as a project file's do, so a list saved on Linux still splits.
    for (const QString &line : splitTextLines(QString::fromLatin1(file.readAll()), true))
        if (!line.isEmpty() && line != QLatin1String(" "))
            entries.append(line);
    return entries;
}

QStringList readList()
{
    return readList(listPath());
}

bool writeList(const QStringList &entries)
{
    QByteArray bytes;
    for (const QString &e : entries)
        bytes += e.toLatin1() + "\r\n";
    QSaveFile file(listPath());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

QStringList scanPatterns()
{
    const QStringList entries = readList();
    if (entries.isEmpty())
        return {};
    return entries.join(QLatin1Char('|')).split(QLatin1Char('|'));
}

} // namespace FileTypes
