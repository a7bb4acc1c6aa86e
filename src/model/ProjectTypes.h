#pragma once

#include <QList>
#include <QString>

// Display colour of a Linking Site row or a result row; not stored in files.
enum class RowColour { Default, Red, Green, Blue };

struct LinkingSite
{
    QString url;
    QString linksExpected = QStringLiteral("1");
    QString linkPageUrl;
    QString linkPageText;
    QString description;
    RowColour colour = RowColour::Default;
    // Which row this is, whatever its text or place becomes (an editor holds
    // on to it); given by the Project, never stored in files.
    quint64 id = 0;
};

struct MainSite
{
    QString url;
    QList<LinkingSite> linkingSites;
    quint64 id = 0; // as LinkingSite::id
};

namespace RuleType {
inline const QString LimitDirectory = QStringLiteral("LimitDirectory");
inline const QString ExcludeDirectory = QStringLiteral("ExcludeDirectory");
inline const QString LimitString = QStringLiteral("LimitString");
inline const QString ExcludeString = QStringLiteral("ExcludeString");
inline const QString LimitRoot = QStringLiteral("LimitRoot");
inline const QString ExcludeRoot = QStringLiteral("ExcludeRoot");
// In the order of the type choices of the rule editors.
inline const QStringList all = {LimitDirectory, ExcludeDirectory, LimitString,
                                ExcludeString, LimitRoot, ExcludeRoot};
}

// The scope word of global rules and of the Linking Site column of main-site rules.
inline const QString kGlobalScope = QStringLiteral("Global");

struct Rule
{
    QString mainSite;
    QString remoteSite;
    QString ruleType;
    QString ruleValue;

    bool operator==(const Rule &o) const
    {
        return mainSite == o.mainSite && remoteSite == o.remoteSite
            && ruleType == o.ruleType && ruleValue == o.ruleValue;
    }
};

struct LinkResult
{
    int icon = 1; // 1 no reciprocal link (red), 2 link found (blue)
    QString mainSite;
    QString remoteSite;
    QString status;
    QString number;
    QString url;
    RowColour colour = RowColour::Default;
    // Link notes such as "nofollow, ugc"; "" for none. Last, so the rows
    // written field by field elsewhere keep their meaning.
    QString notes = {};
    // The words of the link ("Best blue widgets"); "" for none or not read.
    QString anchor = {};
    // The picture of the link's page with the link outlined; "" for none.
    QString proof = {};
};

struct ErrorEntry
{
    QString error;
    QString url;
};

struct ScriptTarget
{
    QString mainSite;
    QString scriptUrl;
};

namespace ProjectDefaults {
inline const QString scriptUrl = QStringLiteral("http://");
inline const QString htmlBefore = QStringLiteral(
    "Paste all the HTML that you want to come before the links on your page here.  "
    "This will be the first part of your generated webpage.");
inline const QString htmlLinks = QStringLiteral(
    "Your link HTML will be generate here.  This will be the second part of your generated webpage.");
inline const QString htmlAfter = QStringLiteral(
    "Paste all the HTML that you want to come after the links on your page here.  "
    "This will be the third part of your generated webpage.");
// The settings defaults of the mirrored texts; the second differs in one word.
inline const QString settingsHtmlLinks = QStringLiteral(
    "Your link HTML will be generated here.  This will be the second part of your generated webpage.");
}
