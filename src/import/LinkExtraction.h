#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Finding the outgoing links of the user's own links page. Plain text work
// with substring tests, no HTML parsing: every "href=" value that is not a
// media, document, script, mail or fragment link is made a URL without scheme,
// and kept when it does not point into the user's own site.

// The user's site as typed in the links page URL: every "http://", "https://"
// and "www." removed (exact case), then cut after the first "/" (kept).
QString importBase(const QString &typedUrl);

// The fragments that drop a candidate link, tested in this order, any case.
const QStringList &excludedLinkFragments();

// One candidate link made a URL without scheme, relative forms resolved
// against the import base.
QString resolveLink(const QString &candidate, const QString &importBase);

// Every kept link followed by ",", in page order, duplicates included. The
// callback hears the count after every kept link (status "Extracted n link(s)").
QString extractLinks(const QString &pageText, const QString &importBase,
                     const std::function<void(int keptCount)> &progress = {});

// The status text of the extraction's progress.
QString extractedStatusText(int keptCount);
