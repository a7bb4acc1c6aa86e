#pragma once

#include "scan/LinkNotes.h"
#include "scan/PageCache.h"
#include "scan/PageLinkNotes.h"

#include <QByteArray>
#include <QString>

// The reading of one page, without any scan state: the warnings its text
// gives, then, line by line as the cache file holds it, the anchors it
// offers and the redirect it announces. What an anchor means for the site
// (a page to queue, a link, nothing) is the site's to decide.
class PageAnalyser
{
public:
    // What the page text says about the site before any anchor is read.
    struct Warnings
    {
        bool mentionsMainSite = false;
        bool sourceProtected = false;   // "You are seeing this text because"
        bool scriptError = false;       // "<?php"
    };
    static Warnings warningsOf(const QString &pageText, const QString &mainSite);

    enum class Kind { Anchor, Redirect, End };
    struct Item
    {
        Kind kind = Kind::End;
        int line = 0;          // 0 for the first line of the page
        QString target;        // Anchor: the target text as extracted (not yet resolved)
                               // Redirect: the URL to follow ("" for the page's own)
        qsizetype hrefAt = -1; // Anchor: where its "href=" stands in the page as it came
    };

    // normalisedText: the page after anchor normalisation (what the cache
    // file holds, without its final CR LF); followRedirects: whether a
    // redirect marker counts (not on a page reached through a redirect page).
    // original: the page as it came, read for the link notes and the anchor
    // texts ("" when both are off); head: the response head, read for the
    // link notes.
    PageAnalyser(const QString &normalisedText, bool followRedirects, const QString &original = QString(),
                 const QByteArray &head = QByteArray());

    // The next anchor or redirect, or End. Lines that hold neither are passed over.
    Item next();
    // The link notes of an anchor this page gave: its own (rel tokens,
    // hidden) and the page's (robots directives, a canonical URL elsewhere
    // than pageUrl); robots.txt is the site's to add.
    LinkNotes::Flags notesOf(const Item &anchor, const QString &pageUrl);
    // The words of an anchor this page gave.
    QString anchorTextOf(const Item &anchor) const;

    // The target an anchor line gives: "" when there is none to follow
    // (nothing after "href=", javascript or mailto).
    static QString anchorTarget(const QString &line);

private:
    Item redirectFrom(const QString &markerLine, int line);

    QString m_content;          // the text and the final CR LF the cache file ends with
    CacheLineReader m_reader;
    bool m_mayRedirect;
    int m_line = -1;
    QString m_original;
    QByteArray m_head;
    qsizetype m_searchFrom = 0;
    bool m_pageNotesRead = false;
    PageLinkNotes m_pageNotes;
};
