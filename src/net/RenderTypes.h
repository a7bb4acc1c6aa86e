#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

// What a page render asks for and what it gives back. The renderer runs in the
// helper program reciplex-render (a browser engine off screen); these types are
// what its caller sees, without any of the engine.

// The text of the errors row for a page that could not be rendered.
inline const QString kRenderFailed = QStringLiteral("Render failed");

struct RenderRequest
{
    QString url;                  // an absolute http or https URL
    int timeoutMs = 15 * 1000;    // load and settle; the page is ended after this
    bool javaScript = true;       // the page's own scripts run
    QString userAgent;            // "" keeps the engine's own
    bool ignoreCertificateErrors = false;
    // A picture of the page with the links to these targets outlined, saved as
    // a PNG at proofPath. A target is a Main Site as the user typed it
    // ("mysite.com/links.htm") or a whole href; scheme, letter case and a
    // leading "www." do not count. No picture is written, and an older one at
    // the path is kept, when no target's link shows on the rendered page.
    QString proofPath;            // "" for no picture
    QStringList proofTargets;
};

// One a[href] or area[href] of the rendered document, shadow trees included.
struct RenderedAnchor
{
    QString tag;       // "a" or "area"
    QString href;      // resolved against the document's base URL
    QString text;      // the rendered text; for an image link its alt text; for an area its alt
    QString rel;
    QRectF box;        // in document coordinates, CSS pixels
    bool visible = false; // has a box and is not hidden by its style
};

struct RenderResult
{
    quint64 ticket = 0;
    QString requestedUrl;
    bool ok = false;
    QString reason;            // why it failed ("" when ok)
    QString url;               // the document's URL after redirects and script navigation
    QString title;
    // False when the page was still loading or changing at the time-out and
    // the anchors were taken as they stood.
    bool settled = false;
    QList<RenderedAnchor> anchors;
    int anchorsInDocument = 0; // the anchors list stops at a cap on a huge page
    QString proofPath;         // the picture written, "" when none
    int proofOutlined = 0;     // links outlined in it
    QString proofProblem;      // why no picture was written, when one was asked for
    qint64 elapsedMs = 0;
};
