#pragma once

#include <QString>
#include <QStringView>

// What makes a found link pass no value to the Main Site: the rel tokens of
// its anchor, robots directives of the page that carries it, and the site's
// robots.txt. The notes text names them in one fixed order.
namespace LinkNotes {

enum Flag : unsigned {
    None = 0,
    Nofollow = 1u << 0,       // rel="nofollow"
    Sponsored = 1u << 1,      // rel="sponsored"
    Ugc = 1u << 2,            // rel="ugc"
    NoindexPage = 1u << 3,    // the page says noindex (meta robots or X-Robots-Tag)
    NofollowPage = 1u << 4,   // the page says nofollow
    BlockedByRobots = 1u << 5 // robots.txt disallows the page for all crawlers
};
using Flags = unsigned;

// "nofollow", "sponsored", "ugc", "noindex page", "nofollow page",
// "blocked by robots.txt", those present, joined by ", "; "" for none.
QString text(Flags flags);

// The rel tokens of one anchor's whole tag text (from its "<" to its ">"):
// the rel attribute before or after href, in any case, quoted or not, its
// tokens separated by white space.
Flags relFlags(QStringView tagText);

} // namespace LinkNotes
