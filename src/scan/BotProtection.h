#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Whether an answer of 403, 429 or 503 is the challenge or block page of a
// bot-protection service rather than the partner's own page: such a page
// says nothing about the partner's links. Known by the headers and page
// texts the services send: Cloudflare, Akamai, Sucuri, Imperva (Incapsula),
// DataDome and AWS WAF.
namespace BotProtection {

// The service whose page it is, "" when it is none of them (or the status
// is not one a challenge comes with).
QString serviceOf(int status, const QByteArray &head, QStringView body);

} // namespace BotProtection
