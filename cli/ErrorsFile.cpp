#include "ErrorsFile.h"

#include <QSaveFile>

QByteArray errorsFileText(const QList<ErrorEntry> &errors)
{
    QByteArray text = "Error\tURL\r\n\r\n";
    for (const ErrorEntry &e : errors)
        text += e.error.toLatin1() + '\t' + e.url.toLatin1() + "\r\n";
    text += "\r\n";
    return text;
}

bool writeErrorsFile(const QList<ErrorEntry> &errors, const QString &path, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(errorsFileText(errors)) < 0 || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
