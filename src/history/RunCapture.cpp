#include "history/RunCapture.h"

#include "history/HistoryKeys.h"
#include "model/Project.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/UrlText.h"

#include <QHash>

namespace {
const QString kSkipped = QStringLiteral("None Found (Skipped)");

QString siteKey(const QString &mainSite, const QString &host)
{
    return historyMainKey(mainSite) + QLatin1Char('\n') + historyHostKey(host);
}
} // namespace

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
    return text;
}

QList<SiteRecord> sitesOfResults(const Project &project)
{
    // The Linking Site URLs by Main Site and host, first row first.
    QHash<QString, QString> urls;
    for (const MainSite &main : project.mainSites()) {
        QString mainUrl = main.url;
        const QString mainSite = normaliseMainSite(mainUrl);
        for (const LinkingSite &site : main.linkingSites) {
            const QString key = siteKey(mainSite, hostOfCopy(site.url));
            if (!urls.contains(key))
                urls.insert(key, site.url);
        }
    }
    // The errors list by host: an error row names a page or a host.
    QHash<QString, QString> errors;
    for (const ErrorEntry &e : project.errors())
        errors[historyHostKey(hostOfCopy(e.url))] += e.error + QLatin1Char('\t') + e.url + QLatin1Char('\n');

    QList<SiteRecord> sites;
    QHash<QString, int> index;
    QList<bool> leadingIsLink;
    for (const LinkResult &row : project.results()) {
        const QString key = siteKey(row.mainSite, row.remoteSite);
        auto it = index.constFind(key);
        const bool isLink = row.icon == 2;
        const bool skipped = !isLink && row.status == kSkipped;
        if (it == index.constEnd()) {
            SiteRecord site;
            site.mainSite = row.mainSite;
            site.host = row.remoteSite;
            site.url = urls.value(key);
            site.errors = errors.value(historyHostKey(row.remoteSite));
            site.status = row.status;
            site.foundOn = row.url;
            site.notes = row.notes;
            site.skipped = skipped;
            it = index.insert(key, int(sites.size()));
            sites.append(site);
            leadingIsLink.append(isLink);
        } else {
            SiteRecord &site = sites[it.value()];
            // A link outranks a closing row; a checked site outranks a skipped one.
            if ((isLink && !leadingIsLink.at(it.value())) || (site.skipped && !skipped && !leadingIsLink.at(it.value()))) {
                site.status = row.status;
                site.foundOn = row.url;
                site.notes = row.notes;
                leadingIsLink[it.value()] = isLink;
            }
            site.skipped = site.skipped && skipped;
        }
        SiteRecord &site = sites[it.value()];
        if (isLink)
            ++site.links;
        if (row.status.startsWith(QLatin1String("Missing ")))
            site.missing = row.status;
    }
    return sites;
}

} // namespace RunCapture
