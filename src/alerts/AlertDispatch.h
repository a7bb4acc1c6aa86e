#pragma once

#include "alerts/AlertMessage.h"
#include "alerts/AlertSettings.h"
#include "alerts/Delivery.h"
#include "model/ProjectTypes.h"

#include <QList>
#include <QString>

// Sends one alert through every channel the settings ask for: the webhook,
// the e-mail and the desktop notification. What could not be delivered
// becomes an errors row of the run; what was, a line for the Alerts page.
struct AlertOutcome
{
    QStringList sent;          // "Webhook: HTTP 204", "E-mail: sent to a@b.example", ...
    QList<ErrorEntry> errors;  // {"Alert webhook failed after 4 tries: HTTP 500", url}
    QStringList report;        // both, channel by channel, for the Alerts page
    bool nothingToSend = false; // no channel is set up
};

struct AlertChannels
{
    bool webhook = true;
    bool mail = true;
    bool notification = true;  // also needs AlertNotify
};

// Blocks until every channel is done (the policy bounds how long); safe on a
// thread of its own with settings read beforehand. The SMTP password is
// looked up in the secret store here when the settings have none.
AlertOutcome sendAlert(const RunAlert &alert, AlertSettings settings, const DeliveryPolicy &policy,
                       const AlertChannels &channels = {});
