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
    q.setForwardOnly(true);
    auto failed = [&](const QSqlQuery &query) {
        fail(query.lastError().text());
        QSqlQuery(d).exec(QStringLiteral("ROLLBACK"));
        return qint64(0);
    };
    // The write lock from the start: nothing can slip between the reads of
    // the sites and the inserts.
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

    // Every known site with the run it was last checked in.
    struct Known { qint64 id; qint64 lastChecked; };
    QHash<QString, Known> known;
    if (!q.exec(QStringLiteral("SELECT id, main_key, host_key, last_checked FROM sites")))
        return failed(q);
    while (q.next())
        known.insert(q.value(1).toString() + QLatin1Char('\n') + q.value(2).toString(),
                     {q.value(0).toLongLong(), q.value(3).toLongLong()});

    QSqlQuery addSite(d), addRecord(d);
    if (!addSite.prepare(QStringLiteral("INSERT INTO sites (main_key, host_key, main_site, host) VALUES (?, ?, ?, ?)")))
        return failed(addSite);
    if (!addRecord.prepare(QStringLiteral("INSERT INTO site_runs (run_id, site_id, %1, prev_run) "
                                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                               .arg(QLatin1String(kRecordColumns))))
        return failed(addRecord);

    struct Totals { int links = 0; int nonLinking = 0; };
    QHash<QString, Totals> totals;
    QSet<qint64> stored;
    for (const SiteRecord &site : run.sites) {
        const QString mainKey = historyMainKey(site.mainSite);
        const QString key = mainKey + QLatin1Char('\n') + historyHostKey(site.host);
        auto it = known.find(key);
        if (it == known.end()) {
            addSite.addBindValue(text(mainKey));
            addSite.addBindValue(text(historyHostKey(site.host)));
            addSite.addBindValue(text(site.mainSite));
            addSite.addBindValue(text(site.host));
            if (!addSite.exec())
                return failed(addSite);
            it = known.insert(key, {addSite.lastInsertId().toLongLong(), 0});
        }
        // A second record of the same site in one run: the first stands.
        if (stored.contains(it->id))
            continue;
        stored.insert(it->id);
        addRecord.addBindValue(runId);
        addRecord.addBindValue(it->id);
        addRecord.addBindValue(text(site.url));
        addRecord.addBindValue(text(site.status));
        addRecord.addBindValue(site.links);
        addRecord.addBindValue(text(site.missing));
        addRecord.addBindValue(text(site.foundOn));
        addRecord.addBindValue(text(site.notes));
        addRecord.addBindValue(text(site.errors));
        addRecord.addBindValue(site.skipped ? 1 : 0);
        addRecord.addBindValue(it->lastChecked);
        if (!addRecord.exec())
            return failed(addRecord);
        if (site.skipped)
            continue; // a skipped site keeps the run it is compared with
        Totals &t = totals[mainKey];
        t.links += site.links;
        t.nonLinking += site.hasLink() ? 0 : 1;
    }
    // The sites checked in this run are compared with it next time.
    q.prepare(QStringLiteral("UPDATE sites SET last_checked = ? WHERE id IN "
                             "(SELECT site_id FROM site_runs WHERE run_id = ? AND skipped = 0)"));
    q.addBindValue(runId);
    q.addBindValue(runId);
    if (!q.exec())
        return failed(q);
    QSqlQuery addTotals(d);
    if (!addTotals.prepare(QStringLiteral("INSERT INTO run_totals (main_key, run_id, links, non_linking) VALUES (?, ?, ?, ?)")))
        return failed(addTotals);
    for (auto t = totals.cbegin(); t != totals.cend(); ++t) {
        addTotals.addBindValue(t.key());
        addTotals.addBindValue(runId);
        addTotals.addBindValue(t.value().links);
        addTotals.addBindValue(t.value().nonLinking);
        if (!addTotals.exec())
            return failed(addTotals);
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
    // The Main Sites of the run, each with the latest earlier run one of its
    // sites is compared with (0: none of them was checked before).
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT s.main_key, MAX(c.prev_run) FROM site_runs c JOIN sites s ON s.id = c.site_id "
                             "WHERE c.run_id = ? AND c.skipped = 0 GROUP BY s.main_key"));
    q.addBindValue(runId);
    if (!q.exec()) {
        fail(q.lastError().text());
        return result;
    }
    QSet<QString> mainsCheckedBefore;
    while (q.next()) {
        const qint64 previous = q.value(1).toLongLong();
        if (previous > 0)
            mainsCheckedBefore.insert(q.value(0).toString());
        result.previousRunId = std::max(result.previousRunId, previous);
    }
    if (result.previousRunId == 0)
        return result; // nothing to compare with

    // Each checked site of the run beside the record it is compared with;
    // SQL leaves out the sites whose links did not change.
    q.prepare(QStringLiteral(
        "SELECT s.main_site, s.host, s.main_key, c.%1, p.run_id, p.%2, pr.started "
        "FROM site_runs c JOIN sites s ON s.id = c.site_id "
        "LEFT JOIN site_runs p ON p.run_id = c.prev_run AND p.site_id = c.site_id "
        "LEFT JOIN runs pr ON pr.id = p.run_id "
        "WHERE c.run_id = ? AND c.skipped = 0 AND ("
        " (p.run_id IS NULL AND c.links > 0)"
        " OR (p.links > 0) != (c.links > 0)"
        " OR (c.links > 0 AND (p.found_on != c.found_on OR p.notes != c.notes))) "
        "ORDER BY s.main_key, s.host_key")
                  .arg(QString::fromLatin1(kRecordColumns).replace(QLatin1String(", "), QLatin1String(", c.")),
                       QString::fromLatin1(kRecordColumns).replace(QLatin1String(", "), QLatin1String(", p."))));
    q.addBindValue(runId);
    if (!q.exec()) {
        fail(q.lastError().text());
        return result;
    }
    const int recordColumns = 8;
    while (q.next()) {
        SiteChange c;
        c.now = recordAt(q, 3);
        c.now.mainSite = q.value(0).toString();
        c.now.host = q.value(1).toString();
        const QVariant beforeRun = q.value(3 + recordColumns);
        c.checkedBefore = !beforeRun.isNull();
        if (c.checkedBefore) {
            c.beforeRun = beforeRun.toLongLong();
            c.before = recordAt(q, 4 + recordColumns);
            c.beforeStarted = timeOf(q.value(4 + 2 * recordColumns));
            c.before.mainSite = c.now.mainSite;
            c.before.host = c.now.host;
            if (classify(c.before, c.now, &c.kind))
                result.changes.append(c);
        } else if (mainsCheckedBefore.contains(q.value(2).toString())) {
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
        "SELECT t.run_id, runs.started, t.links, t.non_linking "
        "FROM run_totals t JOIN runs ON runs.id = t.run_id WHERE t.main_key = ? ORDER BY t.run_id"));
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
        "FROM sites s CROSS JOIN runs CROSS JOIN site_runs r ON r.run_id = runs.id AND r.site_id = s.id "
        "WHERE s.main_key = ? AND s.host_key = ? ORDER BY runs.id")
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
