#pragma once

#include <QString>
#include <QStringView>

// What makes a found link pass no value to the Main Site: the rel tokens of
// its anchor and whether a visitor sees it, robots directives and the
// canonical URL of the page that carries it, and the site's robots.txt. The
// notes text names them in one fixed order: the anchor's, the page's, the
// site's.
namespace LinkNotes {

enum Flag : unsigned {
    None = 0,
    Nofollow = 1u << 0,       // rel="nofollow"
    Sponsored = 1u << 1,      // rel="sponsored"
    Ugc = 1u << 2,            // rel="ugc"
    NoindexPage = 1u << 3,    // the page says noindex (meta robots or X-Robots-Tag)
    NofollowPage = 1u << 4,   // the page says nofollow
    BlockedByRobots = 1u << 5, // robots.txt disallows the page for all crawlers
    CanonicalElsewhere = 1u << 6,  // the page names another page as its canonical URL
    Hidden = 1u << 7,              // the anchor sits where no visitor sees it
    BlockedForGooglebot = 1u << 8, // robots.txt allows all crawlers the page, but not Googlebot
    RobotsUnreachable = 1u << 9,   // robots.txt answered a server error or nothing
    JavaScript = 1u << 10          // found only on the page as a browser drew it
};
using Flags = unsigned;

// "JavaScript", "nofollow", "sponsored", "ugc", "hidden", "noindex page", "nofollow page",
// "canonical elsewhere", "blocked by robots.txt", "blocked for Googlebot",
// "robots.txt unreachable": those present, joined by ", "; "" for none.
QString text(Flags flags);

// The rel tokens of one anchor's whole tag text (from its "<" to its ">"):
// the rel attribute before or after href, in any case, quoted or not, its
// tokens separated by white space.
Flags relFlags(QStringView tagText);

} // namespace LinkNotes
