#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// "Get Links" of the import windows: the user's links page (Simple) or a
// delimited list printed by a script (Advanced) is downloaded and made rows
// of candidate sites.

enum class HarvestMode { Simple, Advanced };

struct HarvestRequest
{
    HarvestMode mode = HarvestMode::Simple;
    QString pageUrl;                  // Simple: the links page URL as typed
    QString listUrl;                  // Advanced: the list URL as typed
    std::optional<QString> delimiter; // Advanced: from delimiterForChoice
};

struct HarvestCallbacks
{
    std::function<void()> clearRows;               // empty the results list
    std::function<void(const QString &)> addRow;   // one more row
    std::function<void(const QString &)> showStatus; // status panel 1; the window lets events run
};

struct HarvestResult
{
    enum Kind {
        Finished,
        NeedDelimiter,  // show kNoDelimiterMessage (one OK button); the list stays empty
        AlreadyRunning, // a run is in progress: two downloads would fill one list
    };
    Kind kind = Finished;
    QStringList rows;
};

HarvestResult getLinks(const HarvestRequest &request, const HarvestCallbacks &callbacks);

bool harvestInProgress();
