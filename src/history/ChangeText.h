#pragma once

#include "history/HistoryTypes.h"

// The words of the history: change names, a site's state in one run, the
// one-line form reciplex-scan prints and the status bar's summary.
namespace ChangeText {

QString kindName(ChangeKind kind);   // "Lost", "New", "Moved", "Notes changed"

// "Direct Link (nofollow) on a.org/links.htm", "None Found (Timeout)",
// "Direct Link on a.org/p, Missing 001"; "Not checked" for a site that was
// never checked before.
QString describe(const SiteRecord &record);
QString before(const SiteChange &change);

// Change, Main Site, Linking Site, before, now; separated by tabs.
QString line(const SiteChange &change);

// "1 link lost and 2 found since the last run".
QString summary(const RunChanges &changes);

} // namespace ChangeText
