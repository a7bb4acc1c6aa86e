#include "import/SiteFileImport.h"

#include "url/TextLines.h"
#include "model/Project.h"
#include "model/SiteEditing.h"
#include "settings/ProgramFolder.h"
#include "url/TextMatch.h"

#include <QFile>

namespace {

bool isMainSitePosition(const Project &project, int mainPos)
{
    return mainPos >= 0 && mainPos < project.mainSiteCount();
}

bool readImportFile(const QString &path, QString *text, SiteImportResult *result)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result->kind = SiteImportResult::Unreadable;
        result->errorMessage = QStringLiteral("Error: ") + QString::number(int(file.error()))
                             + QStringLiteral(" - ") + file.errorString();
        return false;
    }
    *text = QString::fromLatin1(file.readAll());
    return true;
}

QStringList entryLines(const QString &text)
{
    QStringList lines;
    for (const QString &line : splitTextLines(text, true))
        if (!isBlankEntry(line))
            lines << line;
    return lines;
}

} // namespace

QString SiteImportResult::refusedMessage() const
{
    return SiteEditing::refusedEntriesMessage(refused);
}

QString importStartFolder()
{
    return ProgramFolder::projectFilesFolder();
}

QList<LinkingSite> parseLinkingSitesText(const QString &text)
{
    QList<LinkingSite> sites;
    for (const QString &line : entryLines(text)) {
        LinkingSite site;
        if (line.contains(QLatin1Char('|'))) {
            const QStringList parts = line.split(QLatin1Char('|'));
            site.url = parts.at(0).trimmed();
            site.linksExpected = parts.at(1);
        } else {
            site.url = line.trimmed();
        }
        sites << site;
    }
    return sites;
}

QStringList parseMainSitesText(const QString &text)
{
    return entryLines(text);
}

SiteImportResult importLinkingSitesFile(Project &project, int mainPos, const QString &path)
{
    SiteImportResult result;
    if (!isMainSitePosition(project, mainPos)) {
        result.kind = SiteImportResult::NoMainSite;
        return result;
    }
    QString text;
    if (!readImportFile(path, &text, &result))
        return result;
    QList<LinkingSite> accepted;
    for (const LinkingSite &site : parseLinkingSitesText(text)) {
        if (!SiteEditing::linkingSiteUrlRefusal(site.url).isEmpty())
            result.refused << site.url;
        else
            accepted << site;
    }
    // In one piece: the lists show thousands of new rows at once.
    project.appendLinkingSites(mainPos, accepted);
    result.count = int(accepted.size());
    result.statusText = QStringLiteral("Added ") + QString::number(result.count) + QStringLiteral(" link(s)");
    return result;
}

SiteImportResult importMainSitesFile(Project &project, const QString &path)
{
    SiteImportResult result;
    QString text;
    if (!readImportFile(path, &text, &result))
        return result;
    const QStringList lines = parseMainSitesText(text);
    project.addMainSites(lines);
    result.count = int(lines.size());
    result.statusText = QStringLiteral("Added ") + QString::number(result.count) + QStringLiteral(" site(s)");
    return result;
}

SiteImportResult addSelectedLinks(Project &project, int mainPos, const QStringList &selectedRows)
{
    SiteImportResult result;
    if (!isMainSitePosition(project, mainPos)) {
        result.kind = SiteImportResult::NoMainSite;
        return result;
    }
    QList<LinkingSite> accepted;
    for (const QString &row : selectedRows) {
        if (isBlankEntry(row))
            continue;
        if (!SiteEditing::linkingSiteUrlRefusal(row).isEmpty()) {
            result.refused << row;
            continue;
        }
        LinkingSite site;
        site.url = row;
        accepted << site;
    }
    project.appendLinkingSites(mainPos, accepted);
    result.count = int(accepted.size());
    return result;
}
