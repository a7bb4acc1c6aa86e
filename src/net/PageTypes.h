#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <algorithm>

// One page request: where it goes and what it says.
struct PageRequest
{
    QString host;            // as the page's URL names it; a ":port" stays
    QString path;            // begins with "/"
    bool secure = false;     // over TLS
    quint16 port = 80;       // plain requests (tests serve elsewhere)
    quint16 tlsPort = 443;   // secure requests
    QString userAgent;       // "" sends no User-Agent line
    bool acceptAnyCertificate = false;
    // The request of old (Connection: close, Accept: */*, the user agent and
    // nothing more), as a scan without a user agent sends it; also when the
    // user agent is empty.
    bool plainRequest = false;

    bool sameTarget(const PageRequest &o) const
    {
        return host == o.host && path == o.path && secure == o.secure;
    }
    // An agent of control characters only sends no User-Agent line: as empty.
    bool isPlain() const
    {
        return plainRequest
            || std::all_of(userAgent.cbegin(), userAgent.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    }
};

// What became of a page request.
struct PageResult
{
    enum class Failure {
        None,
        Refused,       // nothing listens on the port
        HostNotFound,  // the name does not resolve
        BadName,       // the name has no ASCII (punycode) form: nothing to look up
        Unreachable,   // any other failure before the connection was made
        Secure,        // the connection was made but not secured
        NoReply,       // the connection closed before the server sent a byte
        Proxy,         // the proxy refused or failed: failureText says how
    };
    Failure failure = Failure::None;
    QString failureText;     // for Secure and Proxy: what went wrong, in words
    bool connected = false;  // the TCP connection was made
    QByteArray head;         // through its blank line; empty when none came
    QByteArray body;         // the body the server meant (chunks joined,
                             // compression undone); without a head,
                             // everything received
    bool capped = false;     // cut at the page cap

    bool isPage() const { return failure == Failure::None; }
    // The page text as the scan reads it: the response with every occurrence
    // of its head text removed, ignoring case.
    QString pageText() const;
};

Q_DECLARE_METATYPE(PageResult)
