#include "settings/ProofPictures.h"

#include "settings/ProgramFolder.h"

#include <QDir>

namespace {

QString fileNameOf(const QString &host)
{
    QString name = host.trimmed().toLower();
    for (QChar &c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('.') && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    if (name.isEmpty() || name.count(QLatin1Char('.')) == name.size())
        name = QStringLiteral("_");
    return name;
}

} // namespace

namespace ProofPictures {

QString windowFolder()
{
    return ProgramFolder::filePath(QStringLiteral("Proof"));
}

QString filePath(const QString &folder, const QString &mainHost, const QString &linkingHost)
{
    return QDir(folder).filePath(fileNameOf(mainHost) + QLatin1Char('/') + fileNameOf(linkingHost)
                                 + QStringLiteral(".png"));
}

} // namespace ProofPictures
