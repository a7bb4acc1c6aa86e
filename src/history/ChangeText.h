#pragma once

#include "history/HistoryTypes.h"

// The words of the history: change names, a site's state in one run, the
// one-line form reciplex-scan prints and the status bar's summary.
namespace ChangeText {

// "Lost", "Possibly lost", "New", "Moved", "Notes changed", "Anchor changed",
// "Not checked".
QString kindName(ChangeKind kind);

// "Direct Link (nofollow) on a.org/links.htm", "None Found (Timeout)",
// "Direct Link on a.org/p, Missing 001"; "Not checked" for a site that was
// never checked before.
QString describe(const SiteRecord &record);
// The two sides of a change as describe gives them; a change of words adds
// the words in quotes.
QString before(const SiteChange &change);
QString after(const SiteChange &change);

// Change, Main Site, Linking Site (its host), before, now and the Linking
// Site's URL, which tells two partners on one host apart; separated by tabs.
QString line(const SiteChange &change);

// "1 link lost, 2 partners not checked": the kinds there are, in the order
// of the lists; "no changes since the last run" for none.
QString summary(const RunChanges &changes);

} // namespace ChangeText
