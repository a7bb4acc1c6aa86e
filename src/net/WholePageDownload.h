#pragma once

#include <QString>

// Blocking download of a whole URL, used to follow redirect pages, to post
// results to a script and to import from the web. Pending events keep running
// while it waits. It sends the user agent "Mozilla", asks caches for a fresh
// copy and follows redirections (http to https too). The body comes back as
// ISO-8859-1 text; "" when the URL cannot be opened. An error page of the
// server is returned like any other body.
//
// "http://" is put in front of the argument when it holds neither "http://"
// nor "https://" (ignoring case); the caller's variable keeps that form.
// After idleTimeoutMs without data the download gives up and returns what was
// read so far.
inline constexpr int kDownloadIdleTimeoutMs = 60 * 1000;
QString downloadWholePage(QString &url, int idleTimeoutMs = kDownloadIdleTimeoutMs);
