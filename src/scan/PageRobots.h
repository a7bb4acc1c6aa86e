#pragma once

#include "scan/HtmlTag.h"
#include "scan/LinkNotes.h"

#include <QByteArray>
#include <QStringView>

// Robots directives of one page: what its <meta name="robots"> (or
// "googlebot") tags and the X-Robots-Tag lines of its response head say.
// "noindex" and "nofollow" count, "none" is both; other directives are
// passed over. Only NoindexPage and NofollowPage are ever set.
namespace PageRobots {

// Tags in comments and scripts say nothing.
LinkNotes::Flags fromMeta(QStringView pageText);
// One start tag's say: a robots or googlebot <meta>, or nothing.
LinkNotes::Flags fromMetaTag(const HtmlTag::Tag &tag);

// The head as received (lines ended by CR LF). A value may name a crawler
// first ("googlebot: noindex"): then it counts only for googlebot; a value
// without one counts for all.
LinkNotes::Flags fromHead(const QByteArray &head);

// The flags of a directive list such as "noindex, nofollow".
LinkNotes::Flags fromDirectives(QStringView directives);

} // namespace PageRobots
