#pragma once

#include "model/ProjectTypes.h"

#include <QList>
#include <QString>

// The rules that keep the spider inside or outside parts of a Linking Site.
// A rule applies when its Main Site is the listed Main Site text (exactly) or
// "Global" and its Linking Site is the current Linking Site URL or "Global".
// Every applicable rule must accept the URL, in list order; the first that
// rejects it decides. When logging is on, that rejection is appended to
// rules.log in the program folder.
struct RuleCheck
{
    bool passed = true;
    int rejectedBy = -1; // index into the rules of the rejecting rule
};

RuleCheck checkRules(const QString &url, const QList<Rule> &rules,
                     const QString &mainSiteUrl, const QString &linkingSiteUrl);

// Appends the entry for a rejected URL to rules.log; a file that cannot be
// written is passed over.
void logRejection(const QString &url, const Rule &rule);

bool passesRules(const QString &url, const QList<Rule> &rules,
                 const QString &mainSiteUrl, const QString &linkingSiteUrl, bool log);
