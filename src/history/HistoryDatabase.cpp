#include "history/HistoryDatabase.h"

#include "history/HistoryKeys.h"
#include "history/HistorySchema.h"

#include <QAtomicInt>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

const QString kDriver = QStringLiteral("QSQLITE");

// Qt binds a null QString as SQL NULL; every text column is NOT NULL.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QString timeText(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime timeOf(const QVariant &value)
{
    return QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toUTC();
}

// The columns of a site_runs row from `first` on, in table order.
SiteRecord recordAt(const QSqlQuery &q, int first)
{
    SiteRecord r;
    r.url = q.value(first).toString();
    r.status = q.value(first + 1).toString();
    r.links = q.value(first + 2).toInt();
    r.missing = q.value(first + 3).toString();
    r.foundOn = q.value(first + 4).toString();
    r.notes = q.value(first + 5).toString();
    r.errors = q.value(first + 6).toString();
    r.skipped = q.value(first + 7).toInt() != 0;
    return r;
}

const char kRecordColumns[] = "url, status, links, missing, found_on, notes, errors, skipped";

RunInfo runAt(const QSqlQuery &q, int first)
{
    RunInfo run;
    run.id = q.value(first).toLongLong();
    run.started = timeOf(q.value(first + 1));
    run.finished = timeOf(q.value(first + 2));
    run.scanType = q.value(first + 3).toInt();
    run.settings = q.value(first + 4).toString();
    return run;
}

// What changed between a site's earlier record and its record now, if anything.
bool classify(const SiteRecord &before, const SiteRecord &now, ChangeKind *kind)
{
    if (before.hasLink() && !now.hasLink())
        *kind = ChangeKind::Lost;
    else if (!before.hasLink() && now.hasLink())
        *kind = ChangeKind::New;
    else if (!now.hasLink())
        return false;
    else if (before.foundOn != now.foundOn)
        *kind = ChangeKind::Moved;
    else if (before.notes != now.notes)
        *kind = ChangeKind::NotesChanged;
    else
        return false;
    return true;
}

} // namespace

bool HistoryDatabase::driverAvailable()
{
    return QSqlDatabase::isDriverAvailable(kDriver);
}

HistoryDatabase::HistoryDatabase(const QString &path) : m_path(path)
{
    static QAtomicInt serial;
    m_connection = QStringLiteral("reciplex-history-%1").arg(serial.fetchAndAddRelaxed(1));
    if (!driverAvailable()) {
        fail(QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed"));
        return;
    }
    QSqlDatabase d = QSqlDatabase::addDatabase(kDriver, m_connection);
    d.setDatabaseName(path);
    // A writer waits this long for another process's transaction to end.
    d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!d.open()) {
        fail(d.lastError().text());
        return;
    }
    QString error;
    if (!HistorySchema::upgrade(d, &error)) {
        fail(error);
        return;
    }
    m_open = true;
}

HistoryDatabase::~HistoryDatabase()
{
    {
        QSqlDatabase d = QSqlDatabase::database(m_connection, false);
        if (d.isValid())
            d.close();
    }
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection);
}

QSqlDatabase HistoryDatabase::db() const
{
    return QSqlDatabase::database(m_connection, false);
}

qint64 HistoryDatabase::storeRun(const RunRecord &run)
{
    if (!m_open)
        return 0;
    QSqlDatabase d = db();
    QSqlQuery q(d);
    auto failed = [&](const QSqlQuery &query) {
        fail(query.lastError().text());
        QSqlQuery(d).exec(QStringLiteral("ROLLBACK"));
        return qint64(0);
    };
    // The write lock from the start: nothing can slip between the reads of
    // site ids and the inserts.
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        fail(q.lastError().text());
        return 0;
    }
    q.prepare(QStringLiteral("INSERT INTO runs (started, finished, scan_type, settings) VALUES (?, ?, ?, ?)"));
    q.addBindValue(timeText(run.info.started));
    q.addBindValue(timeText(run.info.finished));
    q.addBindValue(run.info.scanType);
    q.addBindValue(text(run.info.settings));
    if (!q.exec())
        return failed(q);
    const qint64 runId = q.lastInsertId().toLongLong();

    QSqlQuery findSite(d), addSite(d), addRecord(d);
    if (!findSite.prepare(QStringLiteral("SELECT id FROM sites WHERE main_key = ? AND host_key = ?")))
        return failed(findSite);
    if (!addSite.prepare(QStringLiteral("INSERT INTO sites (main_key, host_key, main_site, host) VALUES (?, ?, ?, ?)")))
        return failed(addSite);
    // A second record of the same site in one run keeps the first.
    if (!addRecord.prepare(QStringLiteral("INSERT OR IGNORE INTO site_runs (run_id, site_id, %1) "
                                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                               .arg(QLatin1String(kRecordColumns))))
        return failed(addRecord);

    for (const SiteRecord &site : run.sites) {
        const QString mainKey = historyMainKey(site.mainSite);
        const QString hostKey = historyHostKey(site.host);
        findSite.addBindValue(text(mainKey));
        findSite.addBindValue(text(hostKey));
        if (!findSite.exec())
            return failed(findSite);
        qint64 siteId = 0;
        if (findSite.next()) {
            siteId = findSite.value(0).toLongLong();
        } else {
            addSite.addBindValue(text(mainKey));
            addSite.addBindValue(text(hostKey));
            addSite.addBindValue(text(site.mainSite));
            addSite.addBindValue(text(site.host));
            if (!addSite.exec())
                return failed(addSite);
            siteId = addSite.lastInsertId().toLongLong();
        }
        findSite.finish();
        addRecord.addBindValue(runId);
        addRecord.addBindValue(siteId);
        addRecord.addBindValue(text(site.url));
        addRecord.addBindValue(text(site.status));
        addRecord.addBindValue(site.links);
        addRecord.addBindValue(text(site.missing));
        addRecord.addBindValue(text(site.foundOn));
        addRecord.addBindValue(text(site.notes));
        addRecord.addBindValue(text(site.errors));
        addRecord.addBindValue(site.skipped ? 1 : 0);
        if (!addRecord.exec())
            return failed(addRecord);
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return failed(q);
    return runId;
}

QList<RunInfo> HistoryDatabase::runs() const
{
    QList<RunInfo> list;
    if (!m_open)
        return list;
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("SELECT id, started, finished, scan_type, settings FROM runs ORDER BY id"))) {
        fail(q.lastError().text());
        return list;
    }
    while (q.next())
        list.append(runAt(q, 0));
    return list;
}

qint64 HistoryDatabase::latestRunId() const
{
    if (!m_open)
        return 0;
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("SELECT MAX(id) FROM runs")) || !q.next())
        return 0;
    return q.value(0).toLongLong();
}

RunChanges HistoryDatabase::changesOf(qint64 runId) const
{
    RunChanges result;
    result.runId = runId;
    if (!m_open)
        return result;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    // Each checked site of the run beside its latest earlier checked record.
    q.prepare(QStringLiteral(
        "SELECT s.main_site, s.host, s.main_key, c.%1, p.run_id, p.%2 "
        "FROM site_runs c JOIN sites s ON s.id = c.site_id "
        "LEFT JOIN site_runs p ON p.site_id = c.site_id AND p.run_id = "
        " (SELECT MAX(e.run_id) FROM site_runs e"
        "  WHERE e.site_id = c.site_id AND e.skipped = 0 AND e.run_id < c.run_id) "
        "WHERE c.run_id = ? AND c.skipped = 0 "
        "ORDER BY s.main_key, s.host_key")
                  .arg(QString::fromLatin1(kRecordColumns).replace(QLatin1String(", "), QLatin1String(", c.")),
                       QString::fromLatin1(kRecordColumns).replace(QLatin1String(", "), QLatin1String(", p."))));
    q.addBindValue(runId);
    if (!q.exec()) {
        fail(q.lastError().text());
        return result;
    }
    struct Pair { SiteChange change; QString mainKey; };
    QList<Pair> rows;
    QSet<QString> mainsCheckedBefore;
    const int recordColumns = 8;
    while (q.next()) {
        Pair p;
        p.mainKey = q.value(2).toString();
        p.change.now = recordAt(q, 3);
        p.change.now.mainSite = q.value(0).toString();
        p.change.now.host = q.value(1).toString();
        const QVariant beforeRun = q.value(3 + recordColumns);
        p.change.checkedBefore = !beforeRun.isNull();
        if (p.change.checkedBefore) {
            p.change.beforeRun = beforeRun.toLongLong();
            p.change.before = recordAt(q, 4 + recordColumns);
            p.change.before.mainSite = p.change.now.mainSite;
            p.change.before.host = p.change.now.host;
            mainsCheckedBefore.insert(p.mainKey);
            result.previousRunId = std::max(result.previousRunId, p.change.beforeRun);
        }
        rows.append(p);
    }
    for (Pair &p : rows) {
        SiteChange &c = p.change;
        if (c.checkedBefore) {
            if (classify(c.before, c.now, &c.kind))
                result.changes.append(c);
        } else if (c.now.hasLink() && mainsCheckedBefore.contains(p.mainKey)) {
            // A Linking Site new to a Main Site that was checked before: a new link.
            c.kind = ChangeKind::New;
            result.changes.append(c);
        }
    }
    std::stable_sort(result.changes.begin(), result.changes.end(),
                     [](const SiteChange &a, const SiteChange &b) { return int(a.kind) < int(b.kind); });
    if (result.previousRunId != 0) {
        QSqlQuery r(db());
        r.prepare(QStringLiteral("SELECT started FROM runs WHERE id = ?"));
        r.addBindValue(result.previousRunId);
        if (r.exec() && r.next())
            result.previousStarted = timeOf(r.value(0));
    }
    return result;
}

QList<ChartPoint> HistoryDatabase::chart(const QString &mainSite) const
{
    QList<ChartPoint> points;
    if (!m_open)
        return points;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT r.run_id, runs.started, SUM(r.links), SUM(r.links = 0) "
        "FROM sites s JOIN site_runs r ON r.site_id = s.id JOIN runs ON runs.id = r.run_id "
        "WHERE s.main_key = ? AND r.skipped = 0 GROUP BY r.run_id ORDER BY r.run_id"));
    q.addBindValue(text(historyMainKey(mainSite)));
    if (!q.exec()) {
        fail(q.lastError().text());
        return points;
    }
    while (q.next()) {
        ChartPoint p;
        p.runId = q.value(0).toLongLong();
        p.started = timeOf(q.value(1));
        p.links = q.value(2).toInt();
        p.nonLinking = q.value(3).toInt();
        points.append(p);
    }
    return points;
}

QList<SiteRunEntry> HistoryDatabase::siteHistory(const QString &mainSite, const QString &host) const
{
    QList<SiteRunEntry> entries;
    if (!m_open)
        return entries;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT runs.id, runs.started, runs.finished, runs.scan_type, runs.settings, s.main_site, s.host, r.%1 "
        "FROM sites s JOIN site_runs r ON r.site_id = s.id JOIN runs ON runs.id = r.run_id "
        "WHERE s.main_key = ? AND s.host_key = ? ORDER BY r.run_id")
                  .arg(QString::fromLatin1(kRecordColumns).replace(QLatin1String(", "), QLatin1String(", r."))));
    q.addBindValue(text(historyMainKey(mainSite)));
    q.addBindValue(text(historyHostKey(host)));
    if (!q.exec()) {
        fail(q.lastError().text());
        return entries;
    }
    while (q.next()) {
        SiteRunEntry e;
        e.run = runAt(q, 0);
        e.record = recordAt(q, 7);
        e.record.mainSite = q.value(5).toString();
        e.record.host = q.value(6).toString();
        entries.append(e);
    }
    return entries;
}
