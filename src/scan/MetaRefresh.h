#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// A page that sends the browser on: <meta http-equiv="refresh"
// content="0; url=/links/new.html">. A short delay makes it a redirect page
// for the visitor and for search engines; a long one is a page of its own
// that happens to reload.
namespace MetaRefresh {

inline constexpr int kMaxDelaySeconds = 10;

// The URL text (as written, character references decoded, not resolved) of
// the first refresh the page declares, when its delay is at most
// kMaxDelaySeconds and it names a URL; "" otherwise. Refreshes in comments,
// scripts and <noscript> (which a browser running scripts never acts on)
// are passed over.
QString target(QStringView page);

// The same for a "Refresh:" line of a response head.
QString targetOfHead(const QByteArray &head);

// A refresh value ("5; URL='new.html'") read as a browser reads it: the
// URL when the delay is at most kMaxDelaySeconds; "" when it names none,
// waits longer or cannot be read. *readable (when given) tells a value a
// browser would act on from one it ignores.
QString targetOfContent(QStringView content, bool *readable = nullptr);

} // namespace MetaRefresh
