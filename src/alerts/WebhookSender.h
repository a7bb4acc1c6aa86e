#pragma once

#include "alerts/Delivery.h"

#include <QByteArray>
#include <QString>

// Posts one JSON document to a webhook URL (http or https) and waits for a
// 2xx answer, retrying a failure as the policy says. Blocks the calling
// thread, running a local event loop meanwhile; redirects are not followed.
Delivery postWebhook(const QString &url, const QByteArray &json, const DeliveryPolicy &policy);
