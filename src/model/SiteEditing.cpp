#include "model/SiteEditing.h"

#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/ProjectStorage.h"
#include "url/UrlText.h"

#include <algorithm>

namespace SiteEditing {

QString strippedEntry(const QString &typed)
{
    // A site typed as https keeps that scheme in front, so a scan knows to
    // fetch it over TLS; every other scheme goes.
    const QString trimmed = typed.trimmed();
    if (trimmed.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        const QString rest = stripSchemes(trimmed.mid(8));
        if (!rest.trimmed().isEmpty())
            return QStringLiteral("https://") + rest;
    }
    return stripSchemes(typed);
}

QString linkingSiteUrlRefusal(const QString &url)
{
    const QString marker = ProjectFile::markerAtStart(url);
    if (marker.isEmpty())
        return QString();
    return QStringLiteral("A Linking Site URL cannot begin with \"%1\": the project file would read it back as a "
                          "line of its own.").arg(marker);
}

QString refusedEntriesMessage(const QStringList &entries)
{
    const int shown = 20;
    QStringList lines = entries.mid(0, shown);
    if (entries.size() > shown)
        lines << QStringLiteral("... and %1 more").arg(entries.size() - shown);
    return QStringLiteral("These entries were not added: a Linking Site URL cannot begin with \"%1\", which the "
                          "project file would read back as lines of their own.")
               .arg(ProjectFile::markers().join(QStringLiteral("\", \"")))
         + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

void deleteLinkingSite(Project &project, int mainPos, int row)
{
    if (mainPos < 0 || mainPos >= project.mainSiteCount())
        return;
    const QList<LinkingSite> &sites = project.linkingSites(mainPos);
    if (row < 0 || row >= sites.size())
        return;
    const QString url = sites.at(row).url;
    if (row == 0) {
        project.removeRulesWhere([&](const Rule &r) { return r.remoteSite == url; });
    } else {
        int sameUrl = 0;
        for (const LinkingSite &s : sites)
            sameUrl += s.url == url ? 1 : 0;
        if (sameUrl == 1) {
            const QString mainUrl = project.mainSite(mainPos).url;
            project.removeRulesWhere([&](const Rule &r) {
                return r.mainSite == mainUrl && r.remoteSite == url && r.remoteSite != kGlobalScope;
            });
        }
    }
    project.removeLinkingSite(mainPos, row);
    project.markEdited();
}

MainSiteDeletion deleteMainSite(Project &project, int pos, QString *error)
{
    if (pos < 0 || pos >= project.mainSiteCount())
        return MainSiteDeletion::Nothing;
    const QString url = project.mainSite(pos).url;
    project.removeRulesWhere([&](const Rule &r) { return r.mainSite == url; });
    project.markEdited();
    if (project.mainSiteCount() == 1) {
        project.removeMainSite(pos);
        project.setCurrentMainSite(-1);
        return MainSiteDeletion::Removed;
    }
    if (!ProjectStorage::rebuildWithoutMainSite(project, pos, error))
        return MainSiteDeletion::SnapshotFailed;
    return MainSiteDeletion::Rebuilt;
}

QString columnText(const LinkingSite &site, int column)
{
    switch (column) {
    case 0: return site.url;
    case 1: return site.linksExpected;
    case 2: return site.linkPageUrl;
    case 3: return site.linkPageText;
    case 4: return site.description;
    default: return QString();
    }
}

void sortLinkingSites(Project &project, int mainPos, const ListSortState &state)
{
    if (mainPos < 0 || mainPos >= project.mainSiteCount())
        return;
    QList<LinkingSite> rows = project.linkingSites(mainPos);
    std::stable_sort(rows.begin(), rows.end(), [&](const LinkingSite &a, const LinkingSite &b) {
        const int c = compareColumnTexts(columnText(a, state.column), columnText(b, state.column));
        return state.descending ? c > 0 : c < 0;
    });
    project.setLinkingSites(mainPos, rows);
}

} // namespace SiteEditing
