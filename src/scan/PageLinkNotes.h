#pragma once

#include "scan/HiddenRanges.h"
#include "scan/LinkNotes.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

// The link notes one page gives its links, read in one walk over the page
// when its first link is recorded: what its robots meta tags and
// X-Robots-Tag lines say, whether its canonical URL names another page, and
// which parts of it no visitor sees. Each link is then answered from that
// by its position, so a page of any number of links is read once.
class PageLinkNotes
{
public:
    PageLinkNotes() = default;
    // pageUrl: the URL the page was fetched from ("http://host/path", or
    // "host/path"); head: the response head (empty for none).
    PageLinkNotes(QStringView page, const QByteArray &head, const QString &pageUrl);

    // "noindex page", "nofollow page", "canonical elsewhere".
    LinkNotes::Flags pageFlags() const { return m_pageFlags; }

    // The notes of the link whose start tag holds hrefAt in the same page
    // text: its rel tokens, "hidden", and the page's.
    LinkNotes::Flags flagsOfLink(QStringView page, qsizetype hrefAt) const;

private:
    LinkNotes::Flags m_pageFlags = LinkNotes::None;
    HiddenRanges m_hidden;
};
