#include "settings/MachineWide.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace MachineWide {

QString location(const QString &company)
{
    return QSettings(QSettings::IniFormat, QSettings::SystemScope, company, QStringLiteral("Reciplex")).fileName();
}

bool hasRights(const QString &company)
{
    QFileInfo info(location(company));
    if (info.exists())
        return info.isFile() && info.isWritable();
    QString folder = info.absolutePath();
    for (;;) {
        const QFileInfo f(folder);
        if (f.exists())
            return f.isDir() && f.isWritable();
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            return false;
        folder = parent;
    }
}

} // namespace MachineWide
