#include "outputs/LinkPageBuilder.h"

#include "model/Project.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

#include <QSet>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The first Linking Site of the Main Site whose url is exactly the remote
// text and whose chosen column is filled gives that column.
QString lookUp(const QList<LinkingSite> *sites, const QString &remote, QString LinkingSite::*column)
{
    if (!sites)
        return QString();
    for (const LinkingSite &s : *sites)
        if (s.url == remote && !(s.*column).isEmpty())
            return s.*column;
    return QString();
}

} // namespace

LinkPageOptions LinkPageOptions::fromSettings()
{
    const SettingsStore &store = SettingsStore::instance();
    LinkPageOptions o;
    o.newWindow = store.readFlag(Keys::chkNewWin, true);
    o.bullets = store.readFlag(Keys::chkBullet, false);
    return o;
}

GeneratedLinks generateLinksHtml(const Project &project, const LinkPageOptions &options)
{
    GeneratedLinks out;
    const QList<LinkResult> &results = project.results();
    if (results.isEmpty())
        return out;
    out.hadResults = true;

    QSet<QString> emitted;
    for (const LinkResult &row : results) {
        if (!options.allMainSites && row.mainSite != options.chosenMainSite)
            continue;
        // A Main Site no longer in the project falls back to the first one.
        const int m = project.findMainSite(row.mainSite);
        const QList<LinkingSite> *sites =
            m >= 0 && m < project.mainSiteCount() ? &project.linkingSites(m) : nullptr;
        if (emitted.contains(row.remoteSite))
            continue;
        if (!containsNoCase(row.status, QStringLiteral("direct")))
            continue;
        emitted.insert(row.remoteSite);

        const QString host = hostOfCopy(row.remoteSite);
        QString target = lookUp(sites, row.remoteSite, &LinkingSite::linkPageUrl);
        if (target.isEmpty())
            target = host;
        if (!target.contains(QLatin1String("http://"), Qt::CaseInsensitive))
            target.prepend(QLatin1String("http://"));
        QString text = lookUp(sites, row.remoteSite, &LinkingSite::linkPageText);
        if (text.isEmpty())
            text = host;
        const QString description = lookUp(sites, row.remoteSite, &LinkingSite::description);

        QString entry = QLatin1String("<a href=\"") + target + QLatin1Char('"');
        if (options.newWindow)
            entry += QLatin1String(" target=\"_blank\"");
        entry += QLatin1Char('>') + text + QLatin1String("</a>");
        if (!isBlankEntry(description))
            entry += QLatin1String("<BR>") + description;
        if (options.bullets)
            entry = QLatin1String("<li>") + entry + QLatin1String("</li>");
        out.html += entry + QLatin1String("<br><br>") + kCrLf;
    }
    return out;
}

bool generateLinks(Project &project, const LinkPageOptions &options)
{
    const GeneratedLinks links = generateLinksHtml(project, options);
    if (!links.hadResults)
        return false;
    project.setPageText(Project::PageText::Links, links.html);
    return true;
}

QString linkPageText(const Project &project)
{
    return project.htmlBefore() + kCrLf + kCrLf + project.htmlLinks() + kCrLf + kCrLf + project.htmlAfter();
}

bool saveLinkPage(const QString &path, const QString &pageText, FileFailure *failure)
{
    if (path.isEmpty())
        return false;
    return replaceTextFile(path, pageText + kCrLf, failure);
}
