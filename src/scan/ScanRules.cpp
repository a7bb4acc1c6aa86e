#include "scan/ScanRules.h"

#include "settings/ProgramFolder.h"
#include "url/TextMatch.h"

#include <QFile>

static QString directoryPattern(const QString &value)
{
    QString d = QLatin1Char('/') + value + QLatin1Char('/');
    d.replace(QLatin1String("//"), QLatin1String("/"));
    return d;
}

static bool rejects(const Rule &rule, const QString &url)
{
    const QString &type = rule.ruleType;
    if (type == RuleType::LimitDirectory)
        return !containsNoCase(url, directoryPattern(rule.ruleValue));
    if (type == RuleType::ExcludeDirectory)
        return containsNoCase(url, directoryPattern(rule.ruleValue));
    if (type == RuleType::LimitString || type == RuleType::LimitRoot)
        return !containsNoCase(url, rule.ruleValue);
    if (type == RuleType::ExcludeString || type == RuleType::ExcludeRoot)
        return containsNoCase(url, rule.ruleValue);
    return false; // an unknown type is ignored
}

RuleCheck checkRules(const QString &url, const QList<Rule> &rules,
                     const QString &mainSiteUrl, const QString &linkingSiteUrl)
{
    RuleCheck check;
    for (int i = 0; i < rules.size(); ++i) {
        const Rule &r = rules.at(i);
        const bool applies = (r.mainSite == mainSiteUrl || r.mainSite == kGlobalScope)
                          && (r.remoteSite == linkingSiteUrl || r.remoteSite == kGlobalScope);
        if (applies && rejects(r, url)) {
            check.passed = false;
            check.rejectedBy = i;
            break;
        }
    }
    return check;
}

void logRejection(const QString &url, const Rule &rule)
{
    QFile log(ProgramFolder::filePath(QStringLiteral("rules.log")));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString entry = QStringLiteral("Excluded Site: ") + url + QStringLiteral("\r\n")
                        + QStringLiteral("Rule Type: ") + rule.ruleType + QStringLiteral("\r\n")
                        + QStringLiteral("Rule Value: ") + rule.ruleValue + QStringLiteral("\r\n")
                        + QStringLiteral("\r\n\r\n");
    log.write(entry.toLatin1());
}

bool passesRules(const QString &url, const QList<Rule> &rules,
                 const QString &mainSiteUrl, const QString &linkingSiteUrl, bool log)
{
    const RuleCheck check = checkRules(url, rules, mainSiteUrl, linkingSiteUrl);
    if (!check.passed && log)
        logRejection(url, rules.at(check.rejectedBy));
    return check.passed;
}
