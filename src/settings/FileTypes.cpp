#include "settings/FileTypes.h"

#include "settings/ProgramFolder.h"

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
    const QString text = QString::fromLatin1(file.readAll());
    QStringList entries;
    int start = 0;
    const int n = int(text.size());
    auto take = [&](int end) {
        const QString line = text.mid(start, end - start);
        if (!line.isEmpty() && line != QLatin1String(" "))
            entries.append(line);
    };
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            take(i);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        take(n);
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
