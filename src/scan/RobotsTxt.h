#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The rules a robots.txt file gives all crawlers ("User-agent: *"), read as
// the robots exclusion protocol (RFC 9309) reads them: every group that names
// "*" counts, merged into one; of the Allow and Disallow rules that match a
// path the longest wins, Allow on a tie; "*" matches any run of characters
// and a final "$" the end of the path; percent escapes are compared in one
// form. Other groups, comments and unknown lines are passed over.
class RobotsTxt
{
public:
    // Crawlers need read no more of a file than this.
    static constexpr qsizetype kMaxBytes = 500 * 1024;

    // Allows everything: no file, a 4xx answer, or one that could not be read.
    RobotsTxt() = default;
    static RobotsTxt parse(const QByteArray &file);

    // The path with its query ("/dir/page.html?x=1"), as requested.
    bool allows(const QString &pathAndQuery) const;
    bool isEmpty() const { return m_rules.isEmpty(); }

    // Text in the one form both sides are compared in: escapes of unreserved
    // characters decoded, other escapes in upper case, characters outside
    // printable ASCII escaped (as UTF-8).
    static QByteArray normalised(const QString &text);
    // Whether a normalised pattern matches from the start of a normalised path.
    static bool matches(const QByteArray &path, const QByteArray &pattern);

private:
    struct Rule
    {
        bool allow = false;
        QByteArray pattern; // normalised
    };
    QList<Rule> m_rules;
};
