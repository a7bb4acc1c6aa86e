#pragma once

#include "scan/HtmlTag.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The canonical URL of a page: the one a page names in
// <link rel="canonical" href="..."> or its answer in a
// `Link: <...>; rel="canonical"` header line, asking search engines to index
// that URL in its place. A page whose canonical URL is another page passes
// nothing to the links on it.
namespace Canonical {

// Whether a start tag is <link rel="canonical">; its href is then the URL.
bool isCanonicalLink(const HtmlTag::Tag &tag);

// The canonical URLs the page's <link> tags name, in page order (comments
// and scripts passed over).
QStringList fromPage(QStringView page);

// The canonical URLs of the head's "Link:" lines, in order.
QStringList fromHead(const QByteArray &head);

// Whether the canonical URL (absolute, or relative to the page) names
// another page than pageUrl ("host/path", with or without its scheme).
// URLs that differ only in http against https, a trailing slash, a default
// port (80, 443), the case of the host, the case of percent escapes or a
// fragment name the same page. A URL that is not http(s), or has no host,
// names none.
bool pointsElsewhere(const QString &canonical, const QString &pageUrl);

// The verdict of all the canonical URLs a page gives (page and head
// together): elsewhere when they agree on one other page. Several that
// disagree are ignored, as search engines ignore them.
bool pageIsCanonicalElsewhere(const QStringList &canonicals, const QString &pageUrl);

} // namespace Canonical
