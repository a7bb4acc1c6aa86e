#include "scan/PageLinkNotes.h"

#include "scan/Canonical.h"
#include "scan/HtmlTag.h"
#include "scan/HtmlTokenizer.h"
#include "scan/PageRobots.h"

#include <QStringList>

PageLinkNotes::PageLinkNotes(QStringView page, const QByteArray &head, const QString &pageUrl)
{
    HtmlTokenizer tokens(page);
    HiddenRanges::Builder hidden;
    QStringList canonicals;
    while (tokens.next()) {
        const HtmlTokenizer::Token &t = tokens.token();
        hidden.take(t);
        if (t.kind != HtmlTokenizer::Kind::StartTag)
            continue;
        m_pageFlags |= PageRobots::fromMetaTag(t.tag);
        if (Canonical::isCanonicalLink(t.tag))
            canonicals.append(t.tag.value(u"href"));
    }
    m_hidden = hidden.finish(page.size());
    m_pageFlags |= PageRobots::fromHead(head);
    canonicals += Canonical::fromHead(head);
    if (Canonical::pageIsCanonicalElsewhere(canonicals, pageUrl))
        m_pageFlags |= LinkNotes::CanonicalElsewhere;
}

LinkNotes::Flags PageLinkNotes::flagsOfLink(QStringView page, qsizetype hrefAt) const
{
    LinkNotes::Flags flags = m_pageFlags;
    if (m_hidden.contains(hrefAt))
        flags |= LinkNotes::Hidden;
    const HtmlTag::Tag tag = HtmlTag::around(page, hrefAt);
    if (tag.isValid())
        flags |= LinkNotes::relFlags(page.mid(tag.start, tag.end - tag.start));
    return flags;
}
