#pragma once

#include "model/ListSortState.h"

#include <QString>
#include <QStringList>

class Project;
struct LinkingSite;

// The project side of editing the site lists by hand: deletions with their
// rule clean-up and sorting that reorders the project's own lists.
namespace SiteEditing {

// The text a typed Linking Site becomes in its entry box: every "http://" and
// then every "https://" removed, any case, wherever it stands; a site typed
// beginning with "https://" keeps "https://" in front of the rest.
QString strippedEntry(const QString &typed);

// A Linking Site URL that begins with a line marker of the project file
// ("RESULT:", "NEXTSITE:" ...) would be read back as that line, and the lines
// after it with it: such a URL is refused wherever a Linking Site is entered.
// The message telling why, "" when the URL can be stored.
QString linkingSiteUrlRefusal(const QString &url);
// The message naming the entries an import passed over for that reason.
QString refusedEntriesMessage(const QStringList &entries);

// Removes one Linking Site row. The first row of a list also takes every
// linking-site rule for its URL under any Main Site; any other row takes the
// rules for its URL under its own Main Site, unless another row there still
// carries that URL (the rules would otherwise be left to no site).
void deleteLinkingSite(Project &project, int mainPos, int row);

enum class MainSiteDeletion { Removed, Rebuilt, SnapshotFailed, Nothing };
// Removes a Main Site with all of its rules. The only Main Site goes directly;
// one of several is dropped by rebuilding the project through quicksave.qsv,
// after which the first Main Site is current. Either way the project counts as
// edited. *error gets the reason when the snapshot could not be written.
MainSiteDeletion deleteMainSite(Project &project, int pos, QString *error = nullptr);

// The text of one column of a Linking Site row: Website, #, HTML Link,
// HTML Name, Description.
QString columnText(const LinkingSite &site, int column);

// Sorts a Main Site's Linking Sites by the state's column and direction, as
// the results list sorts; rows of equal text keep their order.
void sortLinkingSites(Project &project, int mainPos, const ListSortState &state);

} // namespace SiteEditing
