#include "history/HistorySchema.h"

#include "history/HistoryKeys.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <iterator>

namespace {

// Version 1: runs, the Linking Sites known by Main Site and host, and one
// row per site and run. The index serves "the site's latest earlier run".
const char *const kVersion1[] = {
    "CREATE TABLE runs ("
    " id INTEGER PRIMARY KEY,"
    " started TEXT NOT NULL,"
    " finished TEXT NOT NULL,"
    " scan_type INTEGER NOT NULL,"
    " settings TEXT NOT NULL)",
    "CREATE TABLE sites ("
    " id INTEGER PRIMARY KEY,"
    " main_key TEXT NOT NULL,"
    " host_key TEXT NOT NULL,"
    " main_site TEXT NOT NULL,"
    " host TEXT NOT NULL,"
    " UNIQUE (main_key, host_key))",
    "CREATE TABLE site_runs ("
    " run_id INTEGER NOT NULL REFERENCES runs(id),"
    " site_id INTEGER NOT NULL REFERENCES sites(id),"
    " url TEXT NOT NULL,"
    " status TEXT NOT NULL,"
    " links INTEGER NOT NULL,"
    " missing TEXT NOT NULL,"
    " found_on TEXT NOT NULL,"
    " notes TEXT NOT NULL,"
    " errors TEXT NOT NULL,"
    " skipped INTEGER NOT NULL,"
    " PRIMARY KEY (run_id, site_id)) WITHOUT ROWID",
    "CREATE INDEX site_runs_by_site ON site_runs (site_id, skipped, run_id)",
};

// Version 2: the site-major index made every stored run rewrite pages all
// over the file (half a second a run at 200 runs of 10,000 sites) and the
// chart summed two million rows. Instead each record names the run it is
// compared with, each site its last checked run, and each run keeps its
// totals per Main Site.
const char *const kVersion2[] = {
    "ALTER TABLE sites ADD COLUMN last_checked INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE site_runs ADD COLUMN prev_run INTEGER NOT NULL DEFAULT 0",
    "UPDATE site_runs SET prev_run = COALESCE("
    " (SELECT MAX(e.run_id) FROM site_runs e"
    "  WHERE e.site_id = site_runs.site_id AND e.skipped = 0 AND e.run_id < site_runs.run_id), 0)",
    "UPDATE sites SET last_checked = COALESCE("
    " (SELECT MAX(r.run_id) FROM site_runs r WHERE r.site_id = sites.id AND r.skipped = 0), 0)",
    "CREATE TABLE run_totals ("
    " main_key TEXT NOT NULL,"
    " run_id INTEGER NOT NULL REFERENCES runs(id),"
    " links INTEGER NOT NULL,"
    " non_linking INTEGER NOT NULL,"
    " PRIMARY KEY (main_key, run_id)) WITHOUT ROWID",
    "INSERT INTO run_totals (main_key, run_id, links, non_linking)"
    " SELECT s.main_key, r.run_id, SUM(r.links), SUM(r.links = 0)"
    " FROM site_runs r JOIN sites s ON s.id = r.site_id WHERE r.skipped = 0"
    " GROUP BY s.main_key, r.run_id",
    "DROP INDEX site_runs_by_site",
};

// Version 3: a Linking Site is known by its entry in the project, no longer
// by its host, so two partners on one host are two records, and a record
// says whether the site's page was read at all. Each record carries what
// the comparisons need without walking back through the runs: how many
// checks in a row found no link, and the last check that found one.
// Main Sites are known by a key that ignores a trailing slash and the case
// of the host only. The records of older versions stay as they were, one per
// Main Site and host ("host records"); a partner seen for the first time
// is compared with the host record of its Main Site and host.
const char *const kVersion3[] = {
    "CREATE TABLE sites_v3 ("
    " id INTEGER PRIMARY KEY,"
    " main_key TEXT NOT NULL,"
    " host_key TEXT NOT NULL,"
    " main_site TEXT NOT NULL,"
    " host TEXT NOT NULL,"
    " url TEXT NOT NULL,"
    " last_checked INTEGER NOT NULL,"
    " last_site INTEGER NOT NULL,"
    " host_record INTEGER NOT NULL,"
    " inherits INTEGER NOT NULL)",
    "INSERT INTO sites_v3 (id, main_key, host_key, main_site, host, url, last_checked, last_site, host_record, inherits)"
    " SELECT id, main_key, host_key, main_site, host, '', last_checked, id, 1, 0 FROM sites",
    "DROP TABLE sites",
    "ALTER TABLE sites_v3 RENAME TO sites",
    "CREATE TABLE site_urls ("
    " main_key TEXT NOT NULL,"
    " url_key TEXT NOT NULL,"
    " site_id INTEGER NOT NULL REFERENCES sites(id),"
    " PRIMARY KEY (main_key, url_key)) WITHOUT ROWID",
    "ALTER TABLE site_runs ADD COLUMN checked INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE site_runs ADD COLUMN reason TEXT NOT NULL DEFAULT ''",
    "ALTER TABLE site_runs ADD COLUMN prev_site INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE site_runs ADD COLUMN miss_streak INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE site_runs ADD COLUMN link_run INTEGER NOT NULL DEFAULT 0",
    "ALTER TABLE site_runs ADD COLUMN link_site INTEGER NOT NULL DEFAULT 0",
};

// Version 4: the words of a site's leading link and the picture of its page.
const char *const kVersion4[] = {
    "ALTER TABLE site_runs ADD COLUMN anchor TEXT NOT NULL DEFAULT ''",
    "ALTER TABLE site_runs ADD COLUMN proof TEXT NOT NULL DEFAULT ''",
};

// "None Found (Timeout)" → "Timeout"; "" for any other status.
QString noneFoundReason(const QString &status)
{
    static const QString prefix = QStringLiteral("None Found (");
    if (!status.startsWith(prefix) || !status.endsWith(QLatin1Char(')')))
        return QString();
    return status.mid(prefix.size(), status.size() - prefix.size() - 1);
}

// Whether an older version's record is of a page that was never read: those
// versions counted a time-out or a server error as a look at the page.
bool reasonMeansNotRead(const QString &reason)
{
    static const QRegularExpression notRead(QStringLiteral(
        "^(Timeout|Skipped|Host not found|Connection refused|No reply|Rate limited|Blocked by bot protection|"
        "Redirect loop|(401|403|429|5\\d\\d) .*|Certificate error.*|Secure connection failed.*)$"));
    return notRead.match(reason).hasMatch();
}

bool exec(QSqlQuery &q, QString *error)
{
    if (q.exec())
        return true;
    *error = q.lastError().text();
    return false;
}

bool exec(QSqlQuery &q, const QString &sql, QString *error)
{
    if (q.exec(sql))
        return true;
    *error = q.lastError().text();
    return false;
}

// Main Sites get their new keys; the chart's totals follow them (a Main Site
// stored with and without a trailing slash becomes one).
bool rekeyMainSites(QSqlDatabase &db, QString *error)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    QHash<QString, QString> newKeys; // old key -> new key, from the first site stored under it
    QList<QPair<qint64, QString>> updates;
    if (!exec(q, QStringLiteral("SELECT id, main_key, main_site FROM sites ORDER BY id"), error))
        return false;
    while (q.next()) {
        const QString old = q.value(1).toString();
        if (!newKeys.contains(old))
            newKeys.insert(old, historyMainKey(q.value(2).toString()));
        updates.append({q.value(0).toLongLong(), newKeys.value(old)});
    }
    QSqlQuery set(db);
    set.prepare(QStringLiteral("UPDATE sites SET main_key = ? WHERE id = ?"));
    for (const auto &[id, key] : updates) {
        set.addBindValue(key);
        set.addBindValue(id);
        if (!exec(set, error))
            return false;
    }
    struct Totals { int links = 0; int nonLinking = 0; };
    QMap<QPair<QString, qint64>, Totals> totals;
    if (!exec(q, QStringLiteral("SELECT main_key, run_id, links, non_linking FROM run_totals"), error))
        return false;
    while (q.next()) {
        const QString old = q.value(0).toString();
        Totals &t = totals[{newKeys.value(old, old), q.value(1).toLongLong()}];
        t.links += q.value(2).toInt();
        t.nonLinking += q.value(3).toInt();
    }
    if (!exec(q, QStringLiteral("DELETE FROM run_totals"), error))
        return false;
    QSqlQuery add(db);
    add.prepare(QStringLiteral("INSERT INTO run_totals (main_key, run_id, links, non_linking) VALUES (?, ?, ?, ?)"));
    for (auto t = totals.cbegin(); t != totals.cend(); ++t) {
        add.addBindValue(t.key().first);
        add.addBindValue(t.key().second);
        add.addBindValue(t.value().links);
        add.addBindValue(t.value().nonLinking);
        if (!exec(add, error))
            return false;
    }
    return true;
}

// Each older record learns whether its page was read, and the chain of
// comparisons is laid again over the records that were.
bool relinkRecords(QSqlDatabase &db, QString *error)
{
    struct Record
    {
        qint64 site, run;
        bool checked;
        QString reason;
        qint64 prevRun, missStreak, linkRun;
    };
    QList<Record> records;
    QHash<qint64, QPair<qint64, QString>> lastOfSite; // site -> its last checked run, its latest URL
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!exec(q, QStringLiteral("SELECT site_id, run_id, status, links, skipped, url FROM site_runs ORDER BY site_id, run_id"),
              error))
        return false;
    qint64 site = -1, lastChecked = 0, missStreak = 0, linkRun = 0;
    while (q.next()) {
        Record r;
        r.site = q.value(0).toLongLong();
        r.run = q.value(1).toLongLong();
        if (r.site != site) {
            site = r.site;
            lastChecked = missStreak = linkRun = 0;
        }
        const QString reason = noneFoundReason(q.value(2).toString());
        const bool linked = q.value(3).toInt() > 0;
        r.checked = q.value(4).toInt() == 0 && (linked || !reasonMeansNotRead(reason));
        r.reason = reason;
        r.prevRun = lastChecked;
        if (r.checked) {
            missStreak = linked ? 0 : missStreak + 1;
            linkRun = linked ? r.run : linkRun;
            lastChecked = r.run;
        }
        r.missStreak = missStreak;
        r.linkRun = linkRun;
        lastOfSite[site] = {lastChecked, q.value(5).toString()};
        records.append(r);
    }
    QSqlQuery set(db);
    set.prepare(QStringLiteral("UPDATE site_runs SET checked = ?, reason = ?, prev_run = ?, prev_site = ?, miss_streak = ?, "
                               "link_run = ?, link_site = ? WHERE run_id = ? AND site_id = ?"));
    for (const Record &r : std::as_const(records)) {
        set.addBindValue(r.checked ? 1 : 0);
        set.addBindValue(r.reason.isNull() ? QStringLiteral("") : r.reason);
        set.addBindValue(r.prevRun);
        set.addBindValue(r.prevRun ? r.site : 0);
        set.addBindValue(r.missStreak);
        set.addBindValue(r.linkRun);
        set.addBindValue(r.linkRun ? r.site : 0);
        set.addBindValue(r.run);
        set.addBindValue(r.site);
        if (!exec(set, error))
            return false;
    }
    set.prepare(QStringLiteral("UPDATE sites SET last_checked = ?, url = ? WHERE id = ?"));
    for (auto it = lastOfSite.cbegin(); it != lastOfSite.cend(); ++it) {
        set.addBindValue(it.value().first);
        set.addBindValue(it.value().second.isNull() ? QStringLiteral("") : it.value().second);
        set.addBindValue(it.key());
        if (!exec(set, error))
            return false;
    }
    return true;
}

bool upgradeToVersion3(QSqlDatabase &db, QString *error)
{
    QSqlQuery q(db);
    for (const char *sql : kVersion3) {
        if (!exec(q, QString::fromLatin1(sql), error))
            return false;
    }
    return rekeyMainSites(db, error) && relinkRecords(db, error);
}

struct Step
{
    const char *const *statements;
    int count;
    bool (*migrate)(QSqlDatabase &db, QString *error); // after the statements, or nullptr
};

const Step kSteps[] = {
    {kVersion1, int(std::size(kVersion1)), nullptr},
    {kVersion2, int(std::size(kVersion2)), nullptr},
    {nullptr, 0, upgradeToVersion3},
    {kVersion4, int(std::size(kVersion4)), nullptr},
};

int userVersion(QSqlDatabase &db, bool *ok)
{
    QSqlQuery q(db);
    *ok = q.exec(QStringLiteral("PRAGMA user_version")) && q.next();
    return *ok ? q.value(0).toInt() : 0;
}

} // namespace

namespace HistorySchema {

int currentVersion()
{
    return int(std::size(kSteps));
}

bool upgrade(QSqlDatabase &db, QString *error)
{
    for (;;) {
        bool ok = false;
        const int seen = userVersion(db, &ok);
        if (!ok) {
            *error = db.lastError().text();
            return false;
        }
        if (seen > currentVersion()) {
            *error = QStringLiteral("the history was written by a newer version of the program "
                                    "(schema %1, this one knows %2)")
                         .arg(seen)
                         .arg(currentVersion());
            return false;
        }
        if (seen == currentVersion())
            return true;

        // The write lock first, then the version again: another process may
        // have upgraded the file meanwhile.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            *error = q.lastError().text();
            return false;
        }
        const int version = userVersion(db, &ok);
        bool done = ok;
        if (done && version < currentVersion()) {
            const Step &step = kSteps[version];
            for (int i = 0; i < step.count && done; ++i)
                done = q.exec(QString::fromLatin1(step.statements[i]));
            QString stepError;
            if (done && step.migrate && !step.migrate(db, &stepError)) {
                *error = stepError;
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
                return false;
            }
            // The version moves inside the same transaction as the tables.
            if (done)
                done = q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version + 1));
        }
        if (done)
            done = q.exec(QStringLiteral("COMMIT"));
        if (!done) {
            *error = q.lastError().text();
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
}

} // namespace HistorySchema
