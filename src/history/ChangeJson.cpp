#include "history/ChangeJson.h"

#include "history/ChangeText.h"

#include <QJsonObject>

namespace ChangeJson {

QString isoTime(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QJsonValue historyTime(const QDateTime &utc)
{
    return utc.isValid() ? QJsonValue(isoTime(utc.toLocalTime())) : QJsonValue(QJsonValue::Null);
}

static QJsonObject stateObject(const SiteRecord &record)
{
    return {
        {"status", record.status},
        {"links", record.links},
        {"foundOn", record.foundOn},
        {"notes", record.notes},
        {"missing", record.missing},
        {"anchor", record.anchor},
        {"proof", record.proof.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(record.proof)},
        {"text", ChangeText::describe(record)},
    };
}

QJsonObject changeObject(const SiteChange &change)
{
    return {
        {"kind", ChangeText::kindName(change.kind)},
        {"mainSite", change.now.mainSite},
        {"host", change.now.host},
        {"url", change.now.url},
        {"previousRun", change.checkedBefore ? historyTime(change.beforeStarted) : QJsonValue(QJsonValue::Null)},
        {"before", change.checkedBefore ? QJsonValue(stateObject(change.before)) : QJsonValue(QJsonValue::Null)},
        {"now", stateObject(change.now)},
    };
}

QJsonArray changeArray(const QList<SiteChange> &changes)
{
    QJsonArray array;
    for (const SiteChange &c : changes)
        array.append(changeObject(c));
    return array;
}

} // namespace ChangeJson
