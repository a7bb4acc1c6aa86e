#include "import/BacklinkImport.h"

#include "import/BacklinkCsv.h"
#include "model/Project.h"
#include "model/SiteEditing.h"

#include <QFile>
#include <QSet>

namespace {

// Exports of millions of rows exist; far larger files are not exports.
constexpr qint64 kMaxFileBytes = 512ll << 20;

struct UrlParts
{
    QString host;   // lower case, without "www."
    QString rest;   // from the first "/" on, "" for none
};

UrlParts partsOf(QString url)
{
    url = url.trimmed();
    const qsizetype scheme = url.indexOf(QStringLiteral("://"));
    if (scheme >= 0 && scheme < 10)
        url = url.mid(scheme + 3);
    UrlParts parts;
    qsizetype end = url.size();
    for (const QChar stop : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
        const qsizetype at = url.indexOf(stop);
        if (at >= 0 && at < end)
            end = at;
    }
    parts.host = url.left(end).toLower();
    if (parts.host.startsWith(QLatin1String("www.")))
        parts.host.remove(0, 4);
    const qsizetype port = parts.host.lastIndexOf(QLatin1Char(':'));
    if (port > 0 && !parts.host.contains(QLatin1Char(']')))
        parts.host.truncate(port);
    parts.rest = url.mid(end);
    return parts;
}

// How the same page is recognised: scheme, "www.", the host's case and a
// final "/" do not matter.
QString pageKey(const QString &url)
{
    UrlParts p = partsOf(url);
    while (p.rest.endsWith(QLatin1Char('/')))
        p.rest.chop(1);
    return p.host + p.rest;
}

bool isWebPage(const UrlParts &p)
{
    return p.host.contains(QLatin1Char('.')) && !p.host.contains(QLatin1Char(' '));
}

// The Main Site a target is on: same host, and of several the one whose
// path is the longest start of the target's; -1 for none.
int mainSiteFor(const QList<UrlParts> &mains, const UrlParts &target)
{
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < mains.size(); ++i) {
        if (mains.at(i).host != target.host)
            continue;
        const QString dir = mains.at(i).rest.left(mains.at(i).rest.lastIndexOf(QLatin1Char('/')) + 1);
        const qsizetype length = target.rest.startsWith(dir) ? dir.size() : 0;
        if (length > bestLength) {
            best = i;
            bestLength = length;
        }
    }
    return best;
}

QString plural(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

QString BacklinkImportResult::statusText() const
{
    return QStringLiteral("Added %1 link(s)").arg(added);
}

QString BacklinkImportResult::summary() const
{
    if (!ok)
        return error;
    QStringList lines;
    QStringList to;
    for (auto it = addedTo.begin(); it != addedTo.end(); ++it)
        to << QStringLiteral("%1 to %2").arg(it.value()).arg(it.key());
    lines << (added == 0 ? QStringLiteral("No Linking Sites were added.")
                         : QStringLiteral("Added %1: %2.").arg(plural(added, "Linking Site", "Linking Sites"),
                                                               to.join(QStringLiteral(", "))));
    if (duplicates > 0)
        lines << QStringLiteral("Skipped %1 already there or listed twice.").arg(plural(duplicates, "page", "pages"));
    if (!otherTargets.isEmpty()) {
        int rows = 0;
        QStringList hosts;
        for (auto it = otherTargets.begin(); it != otherTargets.end(); ++it) {
            rows += it.value();
            if (hosts.size() < 10)
                hosts << QStringLiteral("%1 (%2)").arg(it.key().isEmpty() ? QStringLiteral("no target") : it.key()).arg(it.value());
        }
        if (otherTargets.size() > hosts.size())
            hosts << QStringLiteral("and %1 more").arg(otherTargets.size() - hosts.size());
        lines << QStringLiteral("Not added: %1 linking to none of your Main Sites: %2.")
                     .arg(plural(rows, "row", "rows"), hosts.join(QStringLiteral(", ")));
    }
    if (notPages > 0)
        lines << QStringLiteral("Not added: %1 without a linking page address.").arg(plural(notPages, "row", "rows"));
    if (!refused.isEmpty())
        lines << SiteEditing::refusedEntriesMessage(refused);
    return lines.join(QLatin1Char('\n'));
}

BacklinkImportResult importBacklinks(Project &project, const QByteArray &csv, int currentMainSite)
{
    BacklinkImportResult result;
    const BacklinkTable table = BacklinkCsv::read(csv);
    if (!table.ok) {
        result.error = table.error;
        return result;
    }
    if (!table.hasTarget && (currentMainSite < 0 || currentMainSite >= project.mainSiteCount())) {
        result.error = QStringLiteral("The file has no column of target pages: select the Main Site its links "
                                      "point to first.");
        return result;
    }
    QList<UrlParts> mains;
    QList<QSet<QString>> known;
    for (const MainSite &main : project.mainSites()) {
        mains << partsOf(main.url);
        QSet<QString> pages;
        for (const LinkingSite &site : main.linkingSites) {
            pages.insert(pageKey(site.url));
            if (!site.linkPageUrl.isEmpty())
                pages.insert(pageKey(site.linkPageUrl));
        }
        known << pages;
    }
    QList<QList<LinkingSite>> additions(project.mainSiteCount());
    for (const BacklinkRow &row : table.rows) {
        const UrlParts source = partsOf(row.source);
        if (row.source.isEmpty() || !isWebPage(source)) {
            ++result.notPages;
            continue;
        }
        const UrlParts target = partsOf(row.target);
        const int main = table.hasTarget ? mainSiteFor(mains, target) : currentMainSite;
        if (main < 0) {
            ++result.otherTargets[target.host];
            continue;
        }
        const QString key = pageKey(row.source);
        if (known[main].contains(key)) {
            ++result.duplicates;
            continue;
        }
        if (!SiteEditing::linkingSiteUrlRefusal(row.source).isEmpty()) {
            result.refused << row.source;
            continue;
        }
        known[main].insert(key);
        LinkingSite site;
        site.url = row.source;
        site.linkPageUrl = row.source;
        additions[main] << site;
    }
    for (int m = 0; m < additions.size(); ++m) {
        if (additions.at(m).isEmpty())
            continue;
        project.appendLinkingSites(m, additions.at(m));
        result.added += int(additions.at(m).size());
        result.addedTo[project.mainSite(m).url] += int(additions.at(m).size());
    }
    result.ok = true;
    return result;
}

BacklinkImportResult importBacklinksFile(Project &project, const QString &path, int currentMainSite)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        BacklinkImportResult result;
        result.error = QStringLiteral("Error: %1 - %2").arg(int(file.error())).arg(file.errorString());
        return result;
    }
    if (file.size() > kMaxFileBytes) {
        BacklinkImportResult result;
        result.error = QStringLiteral("%1 is larger than a backlink export can be (%2 MiB).")
                           .arg(path).arg(kMaxFileBytes >> 20);
        return result;
    }
    return importBacklinks(project, file.readAll(), currentMainSite);
}
