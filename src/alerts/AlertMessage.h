#pragma once

#include "history/HistoryTypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What an alert says about one run: the project, when the run was, and its
// changes since the previous run of the history. The webhook, the e-mail and
// the desktop notification all say it, each in its own form.
struct RunAlert
{
    QString projectPath;
    QDateTime started;      // local time
    QDateTime finished;
    RunChanges changes;
    QString reportHtml;     // the report of the run, attached to the e-mail; "" for none
    bool test = false;      // "Send test alert": a made-up change, saying so

    // Alerts go out after a run with changes, and only then.
    bool hasChanges() const { return !changes.changes.isEmpty(); }
};

namespace AlertMessage {

// The one JSON object the webhook receives (README.md has its members).
QByteArray webhookJson(const RunAlert &alert);
inline constexpr int kWebhookFormatVersion = 1;

// "1 Lost, 2 New": the count of each kind of change there is, in the order
// the kinds first appear.
QString countsText(const RunChanges &changes);

// "Reciplex: 3 changes in sites.prj (1 Lost, 2 New)".
QString subject(const RunAlert &alert);
// The e-mail's plain text: the run and each change, before and now.
QString mailText(const RunAlert &alert);
// The desktop notification: a title and a few lines of body.
QString notificationTitle(const RunAlert &alert);
QString notificationBody(const RunAlert &alert);

// The alert "Send test alert" sends: one made-up lost link of the project.
RunAlert testAlert(const QString &projectPath);

} // namespace AlertMessage
