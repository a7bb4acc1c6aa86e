#include "history/HistoryFile.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace HistoryFile {

namespace {

// SQLite's primary result codes (an extended code keeps them in its low byte).
enum SqliteCode { Busy = 5, Locked = 6, ReadOnly = 8, Corrupt = 11, CantOpen = 14, NotADb = 26 };

int codeOf(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xff : -1;
}

} // namespace

Problem classify(const QSqlError &error, const QString &path)
{
    const int code = codeOf(error);
    const QString text = error.text().toLower();
    if (code == NotADb || code == Corrupt || text.contains(QLatin1String("not a database"))
        || text.contains(QLatin1String("malformed")))
        return Problem::Damaged;
    if (code == Busy || code == Locked || text.contains(QLatin1String("database is locked")))
        return Problem::Busy;
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if ((code == ReadOnly || code == CantOpen || text.contains(QLatin1String("readonly"))
         || text.contains(QLatin1String("unable to open")))
        && folder.exists() && !folder.isWritable())
        return Problem::FolderReadOnly;
    return Problem::Other;
}

QString describe(Problem problem, const QSqlError &error, const QString &path)
{
    const QString reason = error.text().trimmed();
    switch (problem) {
    case Problem::Damaged: {
        // SQLite's own words ("file is not a database"), without Qt's.
        const QString sqlite = error.databaseText().trimmed();
        return QStringLiteral("it is damaged (%1) and its runs cannot be read")
            .arg(sqlite.isEmpty() ? QStringLiteral("not a SQLite database") : sqlite);
    }
    case Problem::FolderReadOnly:
        return QStringLiteral("the folder %1 cannot be written: the history keeps its journal files beside %2")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()), QFileInfo(path).fileName());
    case Problem::Busy:
        return QStringLiteral("another program is writing the history %1 (%2)").arg(path, reason);
    case Problem::None:
    case Problem::Other:
        break;
    }
    return reason.isEmpty() ? QStringLiteral("SQLite gave no reason (error %1)").arg(error.nativeErrorCode()) : reason;
}

QString damagedName(const QString &path, const QDateTime &when)
{
    return path + QStringLiteral(".damaged-") + when.toLocalTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

bool isDamaged(const QString &path, QString *reason)
{
    if (!QFileInfo::exists(path))
        return false;
    static QAtomicInt serial;
    const QString connection = QStringLiteral("reciplex-history-check-%1").arg(serial.fetchAndAddRelaxed(1));
    bool damaged = false;
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        d.setDatabaseName(path);
        d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        QSqlQuery q(d);
        if (!d.open()) {
            damaged = classify(d.lastError(), path) == Problem::Damaged;
            if (reason)
                *reason = d.lastError().databaseText();
        } else if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next()) {
            damaged = classify(q.lastError(), path) == Problem::Damaged;
            if (reason)
                *reason = q.lastError().databaseText();
        } else if (q.value(0).toString() != QLatin1String("ok")) {
            damaged = true;
            if (reason)
                *reason = q.value(0).toString();
        }
        q.finish();
        d.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return damaged;
}

bool moveAside(const QString &path, QString *movedTo, QString *error)
{
    const QString target = damagedName(path, QDateTime::currentDateTime());
    if (QFileInfo::exists(target)) {
        *error = QStringLiteral("%1 already exists").arg(target);
        return false;
    }
    QFile file(path);
    if (!file.rename(target)) {
        *error = file.errorString();
        return false;
    }
    // The journal files belong to the old file; a new history must not read them.
    for (const QLatin1String suffix : {QLatin1String("-wal"), QLatin1String("-shm"), QLatin1String("-journal")}) {
        if (QFileInfo::exists(path + suffix))
            QFile::rename(path + suffix, target + suffix);
    }
    *movedTo = target;
    return true;
}

} // namespace HistoryFile
