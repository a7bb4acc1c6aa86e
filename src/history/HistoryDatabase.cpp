#include "history/HistoryDatabase.h"

#include "history/HistoryKeys.h"
#include "history/HistorySchema.h"
#include "settings/SettingsKeys.h"
#include "url/UrlText.h"

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
    r.checked = q.value(first + 8).toInt() != 0;
    r.reason = q.value(first + 9).toString();
    r.anchor = q.value(first + 10).toString();
    r.proof = q.value(first + 11).toString();
    return r;
}

const char kRecordColumns[] =
    "url, status, links, missing, found_on, notes, errors, skipped, checked, reason, anchor, proof";
const int kRecordColumnCount = 12;

// The record columns of a table alias: "p.url, p.status, …".
QString recordColumns(const char *alias)
{
    return QString::fromLatin1(alias) + QLatin1Char('.')
         + QString::fromLatin1(kRecordColumns).replace(QLatin1String(", "), QStringLiteral(", %1.").arg(QLatin1String(alias)));
}

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

// LostAfterRuns as the run was stored with it; 1 for runs of older versions.
int lostAfterRunsOf(const QString &settings)
{
    const QString prefix = Keys::LostAfterRuns + QLatin1Char('=');
    for (const QString &line : settings.split(QLatin1Char('\n'))) {
        if (line.startsWith(prefix, Qt::CaseInsensitive)) {
            bool ok = false;
            const int n = line.mid(prefix.size()).trimmed().toInt(&ok);
            return ok ? std::clamp(n, 1, kMaxLostAfterRuns) : kDefaultLostAfterRuns;
        }
    }
    return kDefaultLostAfterRuns;
}

// What a moved link, new notes or new words look like between two linked
// records. Words not read on one side (an older version, chkAnchorText "0")
// are no change.
bool linkDetailsChanged(const SiteRecord &before, const SiteRecord &now, ChangeKind *kind)
{
    if (before.foundOn != now.foundOn)
        *kind = ChangeKind::Moved;
    else if (before.notes != now.notes)
        *kind = ChangeKind::NotesChanged;
    else if (!before.anchor.isEmpty() && !now.anchor.isEmpty() && before.anchor != now.anchor)
        *kind = ChangeKind::AnchorChanged;
    else
        return false;
    return true;
}

// The record a site is compared with next: its last check.
struct Base
{
    qint64 run = 0;         // 0: never checked
    qint64 site = 0;        // the site that record belongs to: itself, or the host record it took over
    bool linked = false;
    qint64 missStreak = 0;  // checks in a row without a link, up to that record
    qint64 linkRun = 0;     // the last check that found a link, and whose record it is
    qint64 linkSite = 0;
};

struct KnownSite
{
    qint64 id = 0;
    qint64 inherits = 0;    // the host record it was first compared with
    QString mainSite, host, url;
    Base base;
};

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

    // Every known site with the record it is compared with next; the host
    // records of older versions by Main Site and host, the latest checked.
    QHash<qint64, KnownSite> known;
    QHash<QString, qint64> hostRecords;
    if (!q.exec(QStringLiteral("SELECT s.id, s.main_key, s.host_key, s.host_record, s.inherits, s.main_site, s.host, s.url, "
                               "s.last_checked, s.last_site, r.links, r.miss_streak, r.link_run, r.link_site "
                               "FROM sites s LEFT JOIN site_runs r ON r.run_id = s.last_checked AND r.site_id = s.last_site")))
        return failed(q);
    while (q.next()) {
        KnownSite k;
        k.id = q.value(0).toLongLong();
        k.inherits = q.value(4).toLongLong();
        k.mainSite = q.value(5).toString();
        k.host = q.value(6).toString();
        k.url = q.value(7).toString();
        if (!q.value(10).isNull()) {
            k.base = {q.value(8).toLongLong(), q.value(9).toLongLong(), q.value(10).toInt() > 0,
                      q.value(11).toLongLong(), q.value(12).toLongLong(), q.value(13).toLongLong()};
        }
        if (q.value(3).toInt() != 0 && k.base.run > 0) {
            const QString key = q.value(1).toString() + QLatin1Char('\n') + q.value(2).toString();
            const auto it = hostRecords.constFind(key);
            if (it == hostRecords.constEnd() || known.value(it.value()).base.run < k.base.run)
                hostRecords.insert(key, k.id);
        }
        known.insert(k.id, k);
    }
    QHash<QString, qint64> aliases; // Main Site key, newline, URL key -> site, as stored
    QHash<QString, qint64> newSites; // the same for the partners this run adds
    if (!q.exec(QStringLiteral("SELECT main_key, url_key, site_id FROM site_urls")))
        return failed(q);
    while (q.next())
        aliases.insert(q.value(0).toString() + QLatin1Char('\n') + q.value(1).toString(), q.value(2).toLongLong());

    // Each record finds its partner: by the entry's URL, else a new partner,
    // compared first with the host record an older version kept, if any.
    QSqlQuery addSite(d);
    if (!addSite.prepare(QStringLiteral("INSERT INTO sites (main_key, host_key, main_site, host, url, last_checked, "
                                        "last_site, host_record, inherits) VALUES (?, ?, ?, ?, ?, ?, ?, 0, ?)")))
        return failed(addSite);
    struct Placed { const SiteRecord *record; QString mainKey; QString entryKey; qint64 site; };
    QList<Placed> placed;
    QHash<qint64, const SiteRecord *> siteNow;
    QSet<QString> entryKeys;
    for (const SiteRecord &site : run.sites) {
        const QString mainKey = historyMainKey(site.mainSite);
        const QString entryKey = historyUrlKey(site.entryUrl.isEmpty() ? site.url : site.entryUrl);
        const QString aliasKey = mainKey + QLatin1Char('\n') + entryKey;
        qint64 id = aliases.value(aliasKey, newSites.value(aliasKey));
        if (id == 0) {
            const qint64 hostRecord = hostRecords.value(mainKey + QLatin1Char('\n') + historyHostKey(site.host));
            const Base base = hostRecord ? known.value(hostRecord).base : Base();
            addSite.addBindValue(text(mainKey));
            addSite.addBindValue(text(historyHostKey(site.host)));
            addSite.addBindValue(text(site.mainSite));
            addSite.addBindValue(text(site.host));
            addSite.addBindValue(text(site.url));
            addSite.addBindValue(base.run);
            addSite.addBindValue(base.site);
            addSite.addBindValue(hostRecord);
            if (!addSite.exec())
                return failed(addSite);
            KnownSite k;
            k.id = id = addSite.lastInsertId().toLongLong();
            k.inherits = hostRecord;
            k.mainSite = site.mainSite;
            k.host = site.host;
            k.url = site.url;
            k.base = base;
            known.insert(id, k);
            newSites.insert(aliasKey, id);
        }
        // The same entry twice in one run: the first stands.
        if (siteNow.contains(id))
            continue;
        siteNow.insert(id, &site);
        placed.append({&site, mainKey, aliasKey, id});
        entryKeys.insert(aliasKey);
    }

    // A host record stood for every partner of its host: while one of them
    // links (now, or at its last check), the others are not known to have
    // had the link, and none of them lost it.
    QSet<qint64> coveredHostRecords;
    for (const KnownSite &k : std::as_const(known)) {
        if (k.inherits == 0)
            continue;
        const SiteRecord *now = siteNow.value(k.id);
        const bool links = now && now->checked ? now->hasLink() : k.base.site == k.id && k.base.linked;
        if (links)
            coveredHostRecords.insert(k.inherits);
    }

    QSqlQuery addRecord(d);
    if (!addRecord.prepare(QStringLiteral("INSERT INTO site_runs (run_id, site_id, %1, prev_run, prev_site, miss_streak, "
                                          "link_run, link_site) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                               .arg(QLatin1String(kRecordColumns))))
        return failed(addRecord);
    QSqlQuery setSite(d), addAlias(d);
    if (!setSite.prepare(QStringLiteral("UPDATE sites SET main_site = ?, host = ?, url = ? WHERE id = ?")))
        return failed(setSite);
    if (!addAlias.prepare(QStringLiteral("INSERT OR REPLACE INTO site_urls (main_key, url_key, site_id) VALUES (?, ?, ?)")))
        return failed(addAlias);
    auto alias = [&](const QString &aliasKey, qint64 site) {
        if (aliases.value(aliasKey) == site)
            return true;
        const qsizetype cut = aliasKey.indexOf(QLatin1Char('\n'));
        addAlias.addBindValue(aliasKey.left(cut));
        addAlias.addBindValue(aliasKey.mid(cut + 1));
        addAlias.addBindValue(site);
        aliases.insert(aliasKey, site);
        return addAlias.exec();
    };

    struct Totals { int links = 0; int nonLinking = 0; };
    QHash<QString, Totals> totals;
    for (const Placed &p : std::as_const(placed)) {
        const SiteRecord &site = *p.record;
        const KnownSite &k = known[p.site];
        const Base &base = k.base;
        const bool hostCovered = base.site != 0 && base.site != p.site && coveredHostRecords.contains(base.site);
        qint64 missStreak = base.missStreak, linkRun = base.linkRun, linkSite = base.linkSite;
        if (hostCovered)
            missStreak = linkRun = linkSite = 0;
        if (site.checked && site.hasLink()) {
            missStreak = 0;
            linkRun = runId;
            linkSite = p.site;
        } else if (site.checked) {
            ++missStreak;
        }
        addRecord.addBindValue(runId);
        addRecord.addBindValue(p.site);
        addRecord.addBindValue(text(site.url));
        addRecord.addBindValue(text(site.status));
        addRecord.addBindValue(site.links);
        addRecord.addBindValue(text(site.missing));
        addRecord.addBindValue(text(site.foundOn));
        addRecord.addBindValue(text(site.notes));
        addRecord.addBindValue(text(site.errors));
        addRecord.addBindValue(site.skipped ? 1 : 0);
        addRecord.addBindValue(site.checked ? 1 : 0);
        addRecord.addBindValue(text(site.reason));
        addRecord.addBindValue(text(site.anchor));
        addRecord.addBindValue(text(site.proof));
        addRecord.addBindValue(base.run);
        addRecord.addBindValue(base.run ? base.site : 0);
        addRecord.addBindValue(missStreak);
        addRecord.addBindValue(linkRun);
        addRecord.addBindValue(linkSite);
        if (!addRecord.exec())
            return failed(addRecord);
        if (k.mainSite != site.mainSite || k.host != site.host || k.url != site.url) {
            setSite.addBindValue(text(site.mainSite));
            setSite.addBindValue(text(site.host));
            setSite.addBindValue(text(site.url));
            setSite.addBindValue(p.site);
            if (!setSite.exec())
                return failed(setSite);
        }
        // The next run begins with the URL the scan put in place when the
        // project is saved, with the old one when it is not: both lead here.
        // An entry of this run keeps its own partner.
        if (!alias(p.entryKey, p.site))
            return failed(addAlias);
        const QString urlKey = p.mainKey + QLatin1Char('\n') + historyUrlKey(site.url);
        if (!entryKeys.contains(urlKey) && !alias(urlKey, p.site))
            return failed(addAlias);
        if (!site.checked)
            continue; // a site not checked keeps the record it is compared with
        Totals &t = totals[p.mainKey];
        t.links += site.links;
        t.nonLinking += site.hasLink() ? 0 : 1;
    }
    // The sites checked in this run are compared with it next time.
    q.prepare(QStringLiteral("UPDATE sites SET last_checked = ?, last_site = id WHERE id IN "
                             "(SELECT site_id FROM site_runs WHERE run_id = ? AND checked = 1)"));
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
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT settings FROM runs WHERE id = ?"));
    q.addBindValue(runId);
    if (!q.exec() || !q.next()) {
        fail(q.lastError().text());
        return result;
    }
    const int lostAfterRuns = lostAfterRunsOf(q.value(0).toString());

    // The Main Sites of the run, each with the latest earlier run one of its
    // sites is compared with (0: none of them was checked before).
    q.prepare(QStringLiteral("SELECT s.main_key, MAX(c.prev_run) FROM site_runs c JOIN sites s ON s.id = c.site_id "
                             "WHERE c.run_id = ? GROUP BY s.main_key"));
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

    // Each site of the run beside the record it is compared with (p), the
    // last check that found its link (l), and the one before p's (pl).
    q.prepare(QStringLiteral(
        "SELECT s.id, s.main_key, s.main_site, s.host, c.prev_run, c.prev_site, c.miss_streak, c.link_run, "
        "p.miss_streak, p.link_run, %1, %2, pr.started, %3, lr.started, %4, plr.started "
        "FROM site_runs c JOIN sites s ON s.id = c.site_id "
        "LEFT JOIN site_runs p ON p.run_id = c.prev_run AND p.site_id = c.prev_site "
        "LEFT JOIN runs pr ON pr.id = p.run_id "
        "LEFT JOIN site_runs l ON l.run_id = c.link_run AND l.site_id = c.link_site "
        "LEFT JOIN runs lr ON lr.id = l.run_id "
        "LEFT JOIN site_runs pl ON pl.run_id = p.link_run AND pl.site_id = p.link_site "
        "LEFT JOIN runs plr ON plr.id = pl.run_id "
        "WHERE c.run_id = ? AND ("
        // SQL leaves out the sites that certainly did not change.
        " (c.checked = 0 AND p.links > 0 AND c.link_run > 0)"
        " OR (c.checked = 1 AND c.links > 0 AND (p.run_id IS NULL OR p.links = 0 OR p.found_on != c.found_on"
        "  OR p.notes != c.notes OR (p.anchor != '' AND c.anchor != '' AND p.anchor != c.anchor)))"
        " OR (c.checked = 1 AND c.links = 0 AND c.link_run > 0 AND c.miss_streak <= ?)) "
        "ORDER BY s.main_key, s.host_key, c.url")
                  .arg(recordColumns("c"), recordColumns("p"), recordColumns("l"), recordColumns("pl")));
    q.addBindValue(runId);
    q.addBindValue(lostAfterRuns);
    if (!q.exec()) {
        fail(q.lastError().text());
        return result;
    }
    // An earlier record of the site, when there is one.
    struct Earlier
    {
        bool exists = false;
        SiteRecord record;
        qint64 run = 0;
        QDateTime started;
    };
    struct Row
    {
        QString mainKey;
        SiteRecord now;
        Earlier prev, link, prevLink;
        bool inheritedBase = false;  // prev is a host record of an older version
        qint64 missStreak = 0;       // checks in a row without a link, this one included
        qint64 prevMissStreak = 0;
    };
    const int c0 = 10, p0 = c0 + kRecordColumnCount, l0 = p0 + kRecordColumnCount + 1, pl0 = l0 + kRecordColumnCount + 1;
    const auto earlierAt = [&q](int first, qint64 run) {
        Earlier e;
        e.exists = !q.value(first).isNull();
        if (e.exists) {
            e.record = recordAt(q, first);
            e.run = run;
            e.started = timeOf(q.value(first + kRecordColumnCount));
        }
        return e;
    };
    while (q.next()) {
        Row r;
        r.mainKey = q.value(1).toString();
        const qint64 prevRun = q.value(4).toLongLong();
        r.inheritedBase = prevRun != 0 && q.value(5).toLongLong() != q.value(0).toLongLong();
        r.missStreak = q.value(6).toLongLong();
        r.prevMissStreak = q.value(8).toLongLong();
        r.now = recordAt(q, c0);
        r.prev = earlierAt(p0, prevRun);
        r.link = earlierAt(l0, q.value(7).toLongLong());
        r.prevLink = earlierAt(pl0, q.value(9).toLongLong());
        for (SiteRecord *record : {&r.now, &r.prev.record, &r.link.record, &r.prevLink.record}) {
            record->mainSite = q.value(2).toString();
            record->host = q.value(3).toString();
        }

        SiteChange c;
        c.now = r.now;
        const auto compareWith = [&c](const Earlier &e) {
            c.before = e.record;
            c.checkedBefore = true;
            c.beforeRun = e.run;
            c.beforeStarted = e.started;
        };
        bool changed = false;
        if (!r.now.checked) {
            // Not read this time: worth saying only of a partner that linked
            // at its last check (and, for a host record, of no partner since).
            if (r.prev.exists && r.prev.record.hasLink() && r.link.exists) {
                c.kind = ChangeKind::NotChecked;
                compareWith(r.prev);
                changed = true;
            }
        } else if (r.now.hasLink()) {
            if (!r.prev.exists) {
                // A Linking Site new to a Main Site that was checked before: a new link.
                c.kind = ChangeKind::New;
                changed = mainsCheckedBefore.contains(r.mainKey);
            } else if (r.prev.record.hasLink()) {
                compareWith(r.prev);
                // A host record does not say which partner's page held its link.
                changed = !r.inheritedBase && linkDetailsChanged(r.prev.record, r.now, &c.kind);
            } else if (r.prevLink.exists && r.prevMissStreak < lostAfterRuns && !r.inheritedBase) {
                // Back before its loss was confirmed: compared with where it was.
                compareWith(r.prevLink);
                changed = linkDetailsChanged(r.prevLink.record, r.now, &c.kind);
            } else {
                compareWith(r.prev);
                c.kind = ChangeKind::New;
                changed = true;
            }
        } else if (r.link.exists && r.missStreak <= lostAfterRuns) {
            // Not found where it was: lost once that many checks in a row miss it.
            compareWith(r.link);
            c.kind = r.missStreak == lostAfterRuns ? ChangeKind::Lost : ChangeKind::PossiblyLost;
            changed = true;
        }
        if (changed)
            result.changes.append(c);
    }
    std::stable_sort(result.changes.begin(), result.changes.end(),
                     [](const SiteChange &a, const SiteChange &b) { return int(a.kind) < int(b.kind); });
    q.prepare(QStringLiteral("SELECT started FROM runs WHERE id = ?"));
    q.addBindValue(result.previousRunId);
    if (q.exec() && q.next())
        result.previousStarted = timeOf(q.value(0));
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

QList<SiteRunEntry> HistoryDatabase::siteHistory(const QString &mainSite, const QString &linkingSiteUrl) const
{
    QList<SiteRunEntry> entries;
    if (!m_open)
        return entries;
    const QString mainKey = historyMainKey(mainSite);
    // The partner and the host record it took over; without a partner of
    // this URL, what an older version kept for its host.
    QList<qint64> sites;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT s.id, s.inherits FROM site_urls u JOIN sites s ON s.id = u.site_id "
                             "WHERE u.main_key = ? AND u.url_key = ?"));
    q.addBindValue(text(mainKey));
    q.addBindValue(text(historyUrlKey(linkingSiteUrl)));
    if (!q.exec()) {
        fail(q.lastError().text());
        return entries;
    }
    if (q.next()) {
        sites << q.value(0).toLongLong();
        if (q.value(1).toLongLong() != 0)
            sites << q.value(1).toLongLong();
    } else {
        q.prepare(QStringLiteral("SELECT id FROM sites WHERE main_key = ? AND host_key = ? AND host_record = 1"));
        q.addBindValue(text(mainKey));
        q.addBindValue(text(historyHostKey(hostOfCopy(linkingSiteUrl))));
        if (!q.exec()) {
            fail(q.lastError().text());
            return entries;
        }
        while (q.next())
            sites << q.value(0).toLongLong();
    }
    for (const qint64 site : std::as_const(sites)) {
        q.prepare(QStringLiteral(
            "SELECT runs.id, runs.started, runs.finished, runs.scan_type, runs.settings, s.main_site, s.host, %1 "
            "FROM sites s CROSS JOIN runs CROSS JOIN site_runs r ON r.run_id = runs.id AND r.site_id = s.id "
            "WHERE s.id = ? ORDER BY runs.id")
                      .arg(recordColumns("r")));
        q.addBindValue(site);
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
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const SiteRunEntry &a, const SiteRunEntry &b) { return a.run.id < b.run.id; });
    return entries;
}
