#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The rules a robots.txt file gives all crawlers ("User-agent: *") and
// Googlebot, read as the robots exclusion protocol (RFC 9309) reads them:
// the groups that name a crawler are merged into one; Googlebot obeys its own
// group (a "User-agent" whose product token is "googlebot", in any case)
// when there is one, otherwise that of "*". Of the Allow and Disallow rules
// that match a path the longest wins, Allow on a tie; "*" matches any run of
// characters and a final "$" the end of the path; percent escapes are
// compared in one form. Other groups, comments and unknown lines are passed
// over, and so is a last line cut off by the size limit.
class RobotsTxt
{
public:
    // Crawlers need read no more of a file than this.
    static constexpr qsizetype kMaxBytes = 500 * 1024;

    // Allows everything: no file, a 4xx answer, or one that could not be read.
    RobotsTxt() = default;
    static RobotsTxt parse(const QByteArray &file);

    // The path with its query ("/dir/page.html?x=1"), as requested: one
    // character per byte of the request line, as the scan's page URLs hold
    // them (wider characters are taken as UTF-8).
    bool allows(const QString &pathAndQuery) const;
    bool allowsGooglebot(const QString &pathAndQuery) const;
    bool isEmpty() const { return m_rules.isEmpty() && m_googlebotRules.isEmpty(); }

    // Text in the one form both sides are compared in: escapes of unreserved
    // characters decoded, other escapes in upper case, bytes outside
    // printable ASCII escaped.
    static QByteArray normalised(const QByteArray &bytes);
    static QByteArray normalisedPath(const QString &pathAndQuery);
    // Whether a normalised pattern matches from the start of a normalised path.
    static bool matches(const QByteArray &path, const QByteArray &pattern);

private:
    struct Rule
    {
        bool allow = false;
        QByteArray pattern; // normalised
    };
    static bool allowedBy(const QList<Rule> &rules, const QString &pathAndQuery);

    QList<Rule> m_rules;           // of "*"
    QList<Rule> m_googlebotRules;  // of Googlebot's own groups
    bool m_googlebotGroup = false; // it has one, even one without rules
};
