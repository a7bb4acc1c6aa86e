#pragma once

#include "history/HistoryTypes.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonValue>

// The changes of a run as JSON, one object per changed Linking Site: the form
// reciplex-scan's --json document and the alert webhook share.
namespace ChangeJson {

// Local time with its offset from UTC, so a reader needs no time zone.
QString isoTime(const QDateTime &time);
// A history time (UTC) in local time as above; null for an invalid time.
QJsonValue historyTime(const QDateTime &utc);

// {"kind", "mainSite", "host", "url", "previousRun", "before", "now"}.
QJsonObject changeObject(const SiteChange &change);
QJsonArray changeArray(const QList<SiteChange> &changes);

} // namespace ChangeJson
