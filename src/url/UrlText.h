#pragma once

#include <QString>

// The URL text rules used everywhere: URLs are never parsed, only handled as
// text, so that the same text always comes out the same way. Helpers that take
// a reference also change the caller's variable; callers rely on it.

// Removes every "http://" and then every "https://", ignoring case, anywhere.
QString stripSchemes(const QString &text);

// Main Site form used by all link tests: schemes and a leading "www." (any case)
// removed. The argument receives the result.
QString normaliseMainSite(QString &text);

// Host of a URL: schemes removed, a leading lower-case "www." dropped, the part
// before the first "/". The argument receives the result.
QString hostOf(QString &text);
QString hostOfCopy(QString text);

// Parent directory of a URL, ending in "/"; never climbs above the host.
QString backDir(const QString &text);

struct RequestTarget
{
    QString host;       // no "/", no scheme
    QString path;       // begins with "/"
    QString strURL;     // the entry without scheme
    QString strCurUrl;  // the page's URL
    QString strCurDir;  // the page's directory, ending in "/"
};

// Splits a queue entry into the request's host and path and the page context.
RequestTarget splitRequestTarget(const QString &entry);

// Resolves an anchor's target against the current page. The argument receives
// the result.
QString resolvePageLink(QString &target, const QString &host, const QString &curDir);

// Encodes a value for a query string. Every "http://" is removed from the
// argument; the result gets one unencoded "http://" back in front.
QString urlEncode(QString &text);

// Shared by the page links of a scan and of the import windows.
// Repairs the ending of a link cut short by the anchor extraction (".as" to
// ".asp", ".ht" to ".htm", ".ph" to ".php") and drops stray attribute names;
// only for texts longer than six characters. The ending is tested in any case;
// ".as" is replaced in any case, ".ht" and ".ph" as htPhReplacement says (the
// import windows ignore case, a scanned page's links do not).
void repairLinkEnding(QString &text, Qt::CaseSensitivity htPhReplacement = Qt::CaseInsensitive);
// True when the text holds ".com", "www.", ".net", ".edu", ".gov" or "ww2.".
bool hasDomainMarker(const QString &text);

// The parent steps of resolvePageLink: while the target begins with "..", the
// directory goes one level up, the first three characters of the target go and
// every "/." in it becomes "." — done in one pass over the target.
void climbParentSteps(QString &target, QString &dir);
