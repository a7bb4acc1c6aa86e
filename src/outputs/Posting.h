#pragma once

#include "model/ProjectTypes.h"

#include <QString>

#include <functional>

class Project;

// Posting the results to the user's script: one request per result row to a
// template URL in which $MainSite, $FoundOn, $LinkingSite and $Status are
// replaced by the row's values. The reply is only logged.

enum class PostingMode {
    OneUrl = 0,      // one template for every row
    PerMainSite = 1, // the project's script target of the row's Main Site
};

// The stored optScript choice (default one URL).
PostingMode postingModeFromSettings();

struct PostingRun
{
    PostingMode mode = PostingMode::OneUrl;
    QString oneUrlTemplate; // mode OneUrl: the template, used as typed
    // Status panel 1 of the calling window. The window repaints its status bar
    // and lets pending events run in it.
    std::function<void(const QString &)> showStatus;
    // Text appended to the posting log; the window moves its caret to the end.
    std::function<void(const QString &)> appendLog;
};

enum class PostingOutcome {
    Posted,         // every row was handled (some may have been skipped)
    NoResults,      // nothing to post; the status says so
    AlreadyRunning, // a run is in progress: a second one would post every row twice
};

inline const QString kNoResultsToPost = QStringLiteral("You must perform a scan for reciprocal links first");

// Posts every row of the project's results, one request after the other. The
// rows are taken as they are when the run starts, so sorting or a new scan
// during the run cannot make it post a row twice or skip one.
PostingOutcome postResults(const Project &project, const PostingRun &run);

// True while postResults runs (it lets events run while it waits).
bool postingInProgress();

// The status word of a row: "True" when the status contains "direct", "False"
// otherwise; nothing (skip the row) when it contains "missing". Any case.
bool postingStatusWord(const QString &status, QString *word);

// The template with every $MainSite, then $FoundOn, then $LinkingSite, then
// $Status, then $Notes, then $Anchor replaced (names in any case) by the
// given texts.
QString replaceUrlVariables(const QString &templateUrl, const QString &mainSite, const QString &foundOn,
                            const QString &linkingSite, const QString &status, const QString &notes = QString(),
                            const QString &anchor = QString());

// What the log gets for one request: the URL as fetched and, when the script
// answered with text, that text.
QString postingLogEntry(const QString &fetchedUrl, const QString &reply);
