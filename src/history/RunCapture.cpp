#include "history/RunCapture.h"

#include "scan/ScanFrontEnd.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace RunCapture {

QString settingsInEffect()
{
    // The keys the scan reads, each with the default its reader passes.
    static const struct { const QString *key; const char *fallback; } keys[] = {
        {&Keys::cmbAdvance, "4"}, {&Keys::chkAuto, "1"},      {&Keys::chkAuto2, "1"},
        {&Keys::chkRedirect, "1"}, {&Keys::chkUpdate, "1"},   {&Keys::chkFileTypes, "1"},
        {&Keys::txtTimeout, "60"}, {&Keys::SkipType, "0"},   {&Keys::chkLinkNotes, "1"},
    };
    const SettingsStore &store = SettingsStore::instance();
    QString text;
    for (const auto &k : keys)
        text += *k.key + QLatin1Char('=') + store.read(*k.key, QString::fromLatin1(k.fallback)) + QLatin1Char('\n');
    // The run's changes are always read with the value it was stored with.
    text += Keys::LostAfterRuns + QLatin1Char('=')
          + QString::number(store.readIntClamped(Keys::LostAfterRuns, kDefaultLostAfterRuns, 1, kMaxLostAfterRuns))
          + QLatin1Char('\n');
    return text;
}

SiteRecord recordOf(const SiteConclusion &site)
{
    SiteRecord r;
    r.mainSite = site.mainSite;
    r.host = site.host;
    r.entryUrl = site.linkingSiteUrl;
    r.url = site.updatedUrl.isEmpty() ? site.linkingSiteUrl : site.updatedUrl;
    r.checked = site.checked;
    r.skipped = site.skipped;
    r.reason = site.reason;
    const LinkResult *leading = nullptr;
    for (const LinkResult &row : site.rows) {
        const bool isLink = row.icon == 2;
        if (isLink)
            ++r.links;
        if (row.status.startsWith(QLatin1String("Missing ")))
            r.missing = row.status;
        if (!leading || (isLink && leading->icon != 2))
            leading = &row;
    }
    if (leading) {
        r.status = leading->status;
        r.foundOn = leading->url;
        r.notes = leading->notes;
        r.anchor = leading->anchor;
        r.proof = leading->proof;
    } else {
        // A Stop before the site's first row: it has nothing else to show.
        r.status = site.outcome.isEmpty() ? QStringLiteral("Stopped") : site.outcome;
    }
    for (const ErrorEntry &e : site.errors)
        r.errors += e.error + QLatin1Char('\t') + e.url + QLatin1Char('\n');
    return r;
}

} // namespace RunCapture
