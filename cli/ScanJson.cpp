#include "ScanJson.h"

#include "history/ChangeJson.h"
#include "model/Project.h"
#include "scan/ScanRun.h"
#include "settings/FileTypes.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <cstdio>

using ChangeJson::isoTime;

static QJsonValue positionOrNull(int zeroBased)
{
    return zeroBased < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(zeroBased + 1);
}

static QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// The same readers and defaults as the scan's own.
QJsonObject scanSettingsInEffect(const ScanRunOptions &o, const ScanRun &engine)
{
    const SettingsStore &store = SettingsStore::instance();
    QJsonObject overrides;
    for (const QString &kv : o.settingOverrides) {
        const int eq = int(kv.indexOf(QLatin1Char('=')));
        overrides.insert(kv.left(eq), kv.mid(eq + 1));
    }
    const bool filterPageTypes = store.readFlag(Keys::chkFileTypes, true);
    return QJsonObject{
        {"scanType", engine.scanType()},
        {"mainSite", positionOrNull(o.mainSite)},
        {"linkingSite", positionOrNull(o.linkingSite)},
        {"port", int(engine.port())},
        {"tlsPort", o.tlsPort},
        {"pageLimit", engine.pageLimit()},
        {"skipType", engine.skipType()},
        {"timeout", store.readInt(Keys::txtTimeout, 60, -32768, 32767)},
        {"stopAtPageLimit", store.readFlag(Keys::chkAuto, true)},
        {"stopWhenLinksFound", store.readFlag(Keys::chkAuto2, true)},
        {"filterPageTypes", filterPageTypes},
        {"pageTypes", QJsonArray::fromStringList(filterPageTypes ? FileTypes::scanPatterns() : QStringList())},
        {"updateUrls", store.readFlag(Keys::chkUpdate, true)},
        {"redirectLinks", store.readFlag(Keys::chkRedirect, true)},
        {"logRules", store.readFlag(Keys::chkLog, false)},
        {"sitesAtOnce", store.readIntClamped(Keys::SitesAtOnce, kDefaultSitesAtOnce, 1, kMaxSitesAtOnce)},
        {"retryDelay", store.readIntClamped(Keys::RetryDelay, kDefaultRetryDelay, 0, kMaxRetryDelay)},
        {"linkNotes", store.readFlag(Keys::chkLinkNotes, true)},
        {"anchorText", store.readFlag(Keys::chkAnchorText, true)},
        {"overrides", overrides},
    };
}

static QJsonObject rowObject(const LinkResult &row)
{
    return {{"status", row.status}, {"number", row.number}, {"url", row.url}, {"notes", row.notes},
            {"anchor", row.anchor}, {"proof", textOrNull(row.proof)}};
}

static QJsonArray errorArray(const QList<ErrorEntry> &errors)
{
    QJsonArray array;
    for (const ErrorEntry &e : errors)
        array.append(QJsonObject{{"error", e.error}, {"url", e.url}});
    return array;
}

// The row that gives the site its status: the first link row of a site that
// found all its links, otherwise the closing row.
static const LinkResult *statusRow(const SiteConclusion &site)
{
    for (const LinkResult &row : site.rows)
        if (row.status == site.outcome)
            return &row;
    return site.rows.isEmpty() ? nullptr : &site.rows.last();
}

static QJsonObject siteObject(const SiteConclusion &site)
{
    QJsonArray rows;
    for (const LinkResult &row : site.rows)
        rows.append(rowObject(row));
    const LinkResult *row = statusRow(site);
    return {
        {"mainSite", site.mainSite},
        {"url", site.linkingSiteUrl},
        {"updatedUrl", textOrNull(site.updatedUrl)},
        {"host", site.host},
        {"status", site.outcome},
        {"linked", !ScanJournal::isWithoutLink(site.outcome)},
        {"checked", site.checked},
        {"reason", textOrNull(site.reason)},
        {"number", row ? row->number : QString()},
        {"foundOn", row ? row->url : QString()},
        {"notes", row ? row->notes : QString()},
        {"anchor", row ? row->anchor : QString()},
        {"proof", textOrNull(row ? row->proof : QString())},
        {"rows", rows},
        {"errors", errorArray(site.errors)},
    };
}

static QJsonArray changeArray(const RunChanges *changes)
{
    return changes ? ChangeJson::changeArray(changes->changes) : QJsonArray();
}

QByteArray scanJson(const ScanJsonInput &in)
{
    QJsonArray sites;
    // The sites that ended: a Stop leaves the one under way without an outcome.
    for (const SiteConclusion &site : in.journal->sites()) {
        if (!site.outcome.isEmpty())
            sites.append(siteObject(site));
    }
    const ScanStatistics &stats = in.engine->statistics();
    const QJsonObject document{
        {"formatVersion", kScanJsonVersion},
        {"project", QFileInfo(in.projectPath).absoluteFilePath()},
        {"started", isoTime(in.started)},
        {"finished", isoTime(in.finished)},
        {"settings", in.settings},
        {"statistics",
         QJsonObject{{"mainSites", stats.mainSites},
                     {"linkingSites", stats.linkingSites},
                     {"pagesScanned", stats.pagesScanned},
                     {"pagesFound", stats.pagesFound},
                     {"linksFound", stats.linksFound}}},
        {"linkingSites", sites},
        {"errors", errorArray(in.project->errors())},
        {"exitStatus", in.exitStatus},
        {"history", in.historyPath.isEmpty() ? QJsonValue(QJsonValue::Null)
                                             : QJsonValue(QFileInfo(in.historyPath).absoluteFilePath())},
        {"changesSince", in.changes && in.changes->hasPrevious() ? ChangeJson::historyTime(in.changes->previousStarted)
                                                                 : QJsonValue(QJsonValue::Null)},
        {"changes", changeArray(in.changes)},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Indented);
}

bool writeScanJson(const QByteArray &json, const QString &path, QString *error)
{
    if (path == QLatin1String("-")) {
        const bool ok = std::fwrite(json.constData(), 1, size_t(json.size()), stdout) == size_t(json.size())
            && std::fflush(stdout) == 0;
        if (!ok)
            *error = QStringLiteral("cannot write to stdout");
        return ok;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
