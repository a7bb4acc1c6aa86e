#include "history/HistorySchema.h"

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

struct Step
{
    const char *const *statements;
    int count;
};

const Step kSteps[] = {
    {kVersion1, int(std::size(kVersion1))},
    {kVersion2, int(std::size(kVersion2))},
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
