#include "outputs/OutputFile.h"

#include <QFile>

QString FileFailure::message() const
{
    return QStringLiteral("Error: ") + QString::number(number) + QStringLiteral(" - ") + description;
}

static bool fail(FileFailure *failure, const QFileDevice &file)
{
    if (failure) {
        failure->number = int(file.error());
        failure->description = file.errorString();
    }
    return false;
}

bool replaceTextFile(const QString &path, const QString &text, FileFailure *failure)
{
    QFile file(path);
    if (file.exists() && !file.remove())
        return fail(failure, file);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(failure, file);
    const QByteArray bytes = text.toLatin1();
    if (file.write(bytes) != bytes.size())
        return fail(failure, file);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return fail(failure, file);
    return true;
}
