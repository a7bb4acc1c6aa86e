#pragma once

#include <QString>

// Names of the settings keys and the defaults their readers pass.
namespace Keys {
inline const QString chkAuto2 = QStringLiteral("chkAuto2");
inline const QString chkAuto = QStringLiteral("chkAuto");
inline const QString cmbAdvance = QStringLiteral("cmbAdvance");
inline const QString chkRedirect = QStringLiteral("chkRedirect");
inline const QString chkAudioEmail = QStringLiteral("chkAudioEmail");
inline const QString chkAudioNext = QStringLiteral("chkAudioNext");
inline const QString chkAudioFinished = QStringLiteral("chkAudioFinished");
inline const QString txtTimeout = QStringLiteral("txtTimeout");
inline const QString chkLog = QStringLiteral("chkLog");
inline const QString chkUpdate = QStringLiteral("chkUpdate");
inline const QString chkFileTypes = QStringLiteral("chkFileTypes");
inline const QString chkLinkNotes = QStringLiteral("chkLinkNotes");
inline const QString chkAnchorText = QStringLiteral("chkAnchorText");
inline const QString LastProject = QStringLiteral("LastProject");
inline const QString ScanType = QStringLiteral("ScanType");
inline const QString SkipType = QStringLiteral("SkipType");
inline const QString chkNewWin = QStringLiteral("chkNewWin");
inline const QString chkBullet = QStringLiteral("chkBullet");
inline const QString txtHTML1 = QStringLiteral("txtHTML1");
inline const QString txtHTML2 = QStringLiteral("txtHTML2");
inline const QString txtHTML3 = QStringLiteral("txtHTML3");
inline const QString optAll = QStringLiteral("optAll");
inline const QString optScript = QStringLiteral("optScript");
inline const QString showHelp = QStringLiteral("showHelp");
inline const QString lHistWebScanned = QStringLiteral("lHistWebScanned");
inline const QString lHistEmailFound = QStringLiteral("lHistEmailFound");
inline const QString getUrlOption = QStringLiteral("getUrlOption");
inline const QString getURL1 = QStringLiteral("getURL1");
inline const QString getURL2 = QStringLiteral("getURL2");
inline const QString getURL3 = QStringLiteral("getURL3");
inline const QString getURLCombo = QStringLiteral("getURLCombo");
inline const QString IgnorePermissionDeniedError = QStringLiteral("IgnorePermissionDeniedError");
inline const QString UserAgent = QStringLiteral("UserAgent");
inline const QString IgnoreCertificateErrors = QStringLiteral("IgnoreCertificateErrors");
inline const QString SitesAtOnce = QStringLiteral("SitesAtOnce");
inline const QString RetryDelay = QStringLiteral("RetryDelay");
inline const QString Proxy = QStringLiteral("Proxy");
// Alerts after a scan with changes.
inline const QString AlertWebhook = QStringLiteral("AlertWebhook");
inline const QString AlertMailTo = QStringLiteral("AlertMailTo");
inline const QString AlertMailFrom = QStringLiteral("AlertMailFrom");
inline const QString SmtpServer = QStringLiteral("SmtpServer");
inline const QString SmtpUser = QStringLiteral("SmtpUser");
inline const QString SmtpPassword = QStringLiteral("SmtpPassword");
inline const QString SmtpSecurity = QStringLiteral("SmtpSecurity");
inline const QString AlertNotify = QStringLiteral("AlertNotify");
// How many checks in a row must miss a link before the history calls it lost.
inline const QString LostAfterRuns = QStringLiteral("LostAfterRuns");
inline const QString RenderJavaScript = QStringLiteral("RenderJavaScript");
inline const QString RenderTimeout = QStringLiteral("RenderTimeout");
inline const QString ProofShots = QStringLiteral("ProofShots");
// How many runs the history keeps; older ones are pruned after each store.
inline const QString HistoryKeepRuns = QStringLiteral("HistoryKeepRuns");
} // namespace Keys

// The user agent the scan and the whole-page download send unless UserAgent
// says otherwise: an honest browser-compatible text naming the program.
inline const QString kDefaultUserAgent = QStringLiteral("Mozilla/5.0 (compatible; Reciplex/3.0)");

// How every request of a scan, posting and import reaches the web:
// "system" (the environment's http_proxy, https_proxy and no_proxy), "none",
// or a proxy URL (http://host:port or socks5://host:port, user:password@ allowed).
inline const QString kDefaultProxy = QStringLiteral("system");

// Seconds before a start page that could not be read is tried once more; 0 never.
inline constexpr int kDefaultRetryDelay = 5;
inline constexpr int kMaxRetryDelay = 600;

// How many Linking Sites a scan runs at the same time: 1 is one after another.
inline constexpr int kDefaultSitesAtOnce = 32;
inline constexpr int kMaxSitesAtOnce = 64;

// A link not found is "Possibly lost" until this many checked runs in a row
// have missed it (LostAfterRuns), then "Lost".
inline constexpr int kDefaultLostAfterRuns = 1;
inline constexpr int kMaxLostAfterRuns = 10;

// The history keeps the latest HistoryKeepRuns runs; 0 keeps them all.
inline constexpr int kDefaultHistoryKeepRuns = 400;
inline constexpr int kMaxHistoryKeepRuns = 100000;

// Pages that draw their links with JavaScript are rendered (RenderJavaScript,
// default on) and given this many seconds to load and settle (RenderTimeout).
// A picture of every link found (ProofShots) is off by default.
inline constexpr bool kDefaultRenderJavaScript = true;
inline constexpr int kDefaultRenderTimeout = 15;
inline constexpr int kMaxRenderTimeout = 120;
inline constexpr bool kDefaultProofShots = false;

// The page-limit list: shown texts and limits by index; cmbAdvance holds the index.
namespace PageLimits {
inline constexpr int count = 13;
inline constexpr int defaultIndex = 4; // 500 pages
inline const char *const texts[count] = {"01", "10", "50", "100", "500", "1,000", "5,000",
                                          "10,000", "20,000", "50,000", "100,000", "200,000", "500,000"};
inline constexpr int limits[count] = {1, 10, 50, 100, 500, 1000, 5000,
                                      10000, 20000, 50000, 100000, 200000, 500000};
// The limit of a stored index; an index outside the list gives the default.
inline int limitForIndex(int index)
{
    return index >= 0 && index < count ? limits[index] : limits[defaultIndex];
}
} // namespace PageLimits
