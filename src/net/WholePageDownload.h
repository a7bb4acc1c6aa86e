#pragma once

#include <QString>

// Blocking download of a whole URL for redirect following, posting and
// import. Pending events keep running while it waits. The user agent is
// "Mozilla", caches are asked for a fresh copy, redirections are followed
// (http to https too). The body comes back as ISO-8859-1 text, "" when the URL
// cannot be opened; an error page of the server is returned like any body.
//
// "http://" is put in front of the argument when it holds neither "http://"
// nor "https://" (ignoring case); the caller's variable keeps that form.
// After idleTimeoutMs without data the download gives up and returns what
// was read so far.
inline constexpr int kDownloadIdleTimeoutMs = 60 * 1000;
QString downloadWholePage(QString &url, int idleTimeoutMs = kDownloadIdleTimeoutMs);
