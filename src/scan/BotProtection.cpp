#include "scan/BotProtection.h"

#include "net/HttpHeaders.h"
#include "url/TextSearch.h"

namespace {

// A challenge page names itself near its top.
constexpr qsizetype kLookedAt = 64 * 1024;

QString titleOf(QStringView body)
{
    const qsizetype open = TextSearch::indexOfNoCase(body, u"<title", 0);
    if (open < 0)
        return QString();
    const qsizetype start = body.indexOf(QLatin1Char('>'), open);
    const qsizetype end = start < 0 ? -1 : TextSearch::indexOfNoCase(body, u"</title", start);
    if (end < 0)
        return QString();
    return body.mid(start + 1, end - start - 1).toString().simplified();
}

bool headerHas(const QByteArray &head, const QByteArray &name, const QByteArray &part = QByteArray())
{
    if (!HttpHeaders::has(head, name))
        return false;
    return part.isEmpty() || HttpHeaders::value(head, name).toLower().contains(part);
}

bool bodyHas(QStringView body, QStringView text)
{
    return TextSearch::containsNoCase(body, text);
}

} // namespace

namespace BotProtection {

QString serviceOf(int status, const QByteArray &head, QStringView page)
{
    if (status != 403 && status != 429 && status != 503)
        return QString();
    const QStringView body = page.left(kLookedAt);
    const QString title = titleOf(body);

    const bool cloudflare = headerHas(head, "server", "cloudflare") || headerHas(head, "cf-ray");
    if (headerHas(head, "cf-mitigated", "challenge")
        || (cloudflare
            && (title == QLatin1String("Just a moment...") || title.startsWith(QLatin1String("Attention Required!"))
                || bodyHas(body, u"challenge-platform") || bodyHas(body, u"cf_chl_")
                || bodyHas(body, u"Cloudflare Ray ID"))))
        return QStringLiteral("Cloudflare");
    if (headerHas(head, "server", "akamaighost")
        && (title == QLatin1String("Access Denied") || bodyHas(body, u"Reference #")))
        return QStringLiteral("Akamai");
    if (headerHas(head, "x-sucuri-id") || headerHas(head, "x-sucuri-block") || headerHas(head, "server", "sucuri")
        || title.startsWith(QLatin1String("Sucuri WebSite Firewall")))
        return QStringLiteral("Sucuri");
    if (headerHas(head, "x-iinfo") || headerHas(head, "x-cdn", "incapsula") || bodyHas(body, u"Incapsula incident ID")
        || bodyHas(body, u"_Incapsula_Resource"))
        return QStringLiteral("Imperva");
    if (headerHas(head, "x-datadome") || headerHas(head, "server", "datadome") || bodyHas(body, u"captcha-delivery.com"))
        return QStringLiteral("DataDome");
    if (headerHas(head, "x-amzn-waf-action"))
        return QStringLiteral("AWS WAF");
    return QString();
}

} // namespace BotProtection
