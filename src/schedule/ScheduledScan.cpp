#include "schedule/ScheduledScan.h"

#include "history/ProjectHistory.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

QString ScheduledScan::whereText() const
{
    return where == Where::SystemdTimer ? QStringLiteral("systemd user timer %1.timer").arg(id)
                                        : QStringLiteral("crontab");
}

QString scheduleIdFor(const QString &absoluteProjectPath)
{
    static const QRegularExpression unsafe(QStringLiteral("[^a-z0-9]+"));
    QString slug = QFileInfo(absoluteProjectPath).completeBaseName().toLower().replace(unsafe, QStringLiteral("-"));
    slug = slug.left(32);
    while (slug.startsWith(QLatin1Char('-')))
        slug.remove(0, 1);
    while (slug.endsWith(QLatin1Char('-')))
        slug.chop(1);
    const QByteArray hash = QCryptographicHash::hash(absoluteProjectPath.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStringLiteral("reciplex-scan-") + (slug.isEmpty() ? QString() : slug + QLatin1Char('-'))
         + QString::fromLatin1(hash.left(8));
}

QStringList scheduledCommand(const QString &scanner, const QString &absoluteProjectPath, const QStringList &scanOptions)
{
    QStringList command{scanner};
    if (!scanOptions.contains(QStringLiteral("--quiet")))
        command << QStringLiteral("--quiet");
    command << scanOptions;
    if (!scanOptions.contains(QStringLiteral("--history")))
        command << QStringLiteral("--history") << ProjectHistory::pathFor(absoluteProjectPath);
    command << absoluteProjectPath;
    return command;
}

QString nextRunText(const QDateTime &nextRun)
{
    return nextRun.isValid() ? QLocale::c().toString(nextRun, QStringLiteral("yyyy-MM-dd HH:mm (ddd)"))
                             : QStringLiteral("unknown");
}
