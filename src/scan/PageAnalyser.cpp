#include "scan/PageAnalyser.h"

#include "scan/AnchorText.h"
#include "url/TextSearch.h"

namespace {

const QString kHref = QStringLiteral("href=");

// Leading and trailing spaces only, as the page texts are compared.
QString trimSpaces(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

// The markers hold no line break, so a page without any of them has no
// marker line either: the per-line test is only made on pages that have one.
bool isRedirectMarker(QStringView text)
{
    return TextSearch::containsNoCase(text, u"302 Found") || TextSearch::containsNoCase(text, u"301 Moved Permanently")
        || TextSearch::containsNoCase(text, u"<title>Document Moved</title>")
        || TextSearch::containsNoCase(text, u"<title>Object moved</title>");
}

} // namespace

PageAnalyser::Warnings PageAnalyser::warningsOf(const QString &pageText, const QString &mainSite)
{
    Warnings w;
    w.mentionsMainSite = !mainSite.isEmpty() && TextSearch::containsNoCase(pageText, mainSite);
    w.sourceProtected = TextSearch::containsNoCase(pageText, u"You are seeing this text because");
    w.scriptError = TextSearch::containsNoCase(pageText, u"<?php");
    return w;
}

PageAnalyser::PageAnalyser(const QString &normalisedText, bool followRedirects, const QString &original,
                           const QByteArray &head)
    : m_content(normalisedText + QStringLiteral("\r\n"))
    , m_reader(m_content)
    , m_original(original)
    , m_head(head)
{
    m_mayRedirect = followRedirects && isRedirectMarker(m_content);
}

QString PageAnalyser::anchorTarget(const QString &line)
{
    // From the first "href=" on, without the quote that opens the value. After
    // anchor normalisation a line holds one "href=", at its start, so that is
    // the only place an opening quote can follow one.
    QString anchor = line.mid(line.indexOf(kHref));
    TextSearch::replaceNoCase(anchor, u"href=\"", kHref);
    TextSearch::replaceNoCase(anchor, u"href='", kHref);

    // Cut at the first quote, apostrophe or ">"; without one (or when it is
    // the last character) the last two characters go.
    const qsizetype length = anchor.size();
    qsizetype terminator = -1;
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = anchor.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('>')) {
            terminator = i;
            break;
        }
    }
    QString value = (terminator >= 0 && terminator + 1 < length) ? anchor.left(terminator)
                                                                  : anchor.left(qMax<qsizetype>(0, length - 2));
    if (value.size() < 6)
        return QString();

    value.remove(kHref, Qt::CaseInsensitive);
    value = trimSpaces(value);
    const qsizetype space = value.indexOf(QLatin1Char(' '));
    if (space >= 0)
        value = trimSpaces(value.left(space));
    if (value.contains(QLatin1String("javascript"), Qt::CaseInsensitive)
        || value.contains(QLatin1String("mailto"), Qt::CaseInsensitive))
        return QString();
    return value;
}

PageAnalyser::Item PageAnalyser::next()
{
    QString line;
    while (m_reader.next(line)) {
        ++m_line;
        if (m_mayRedirect && isRedirectMarker(line))
            return redirectFrom(line, m_line);
        if (!line.contains(kHref))
            continue;
        // After anchor normalisation every "href=" of the page starts a line
        // of its own, in page order: the n-th line holding one is the n-th
        // "href=" of the page as it came.
        qsizetype hrefAt = -1;
        if (!m_original.isEmpty()) {
            hrefAt = TextSearch::indexOfNoCase(m_original, u"href=", m_searchFrom);
            m_searchFrom = hrefAt < 0 ? m_original.size() : hrefAt + 5;
        }
        const QString target = anchorTarget(line);
        if (target.isEmpty())
            continue;
        Item item;
        item.kind = Kind::Anchor;
        item.line = m_line;
        item.target = target;
        item.hrefAt = hrefAt;
        return item;
    }
    return Item{Kind::End, m_line + 1, QString(), -1};
}

// From the marker line on (that line included) the first line that holds
// "href=" names the target; when the page ends first, the last line read is
// taken as it stands.
PageAnalyser::Item PageAnalyser::redirectFrom(const QString &markerLine, int line)
{
    QString url = markerLine;
    QString next;
    while (!url.contains(kHref) && m_reader.next(next))
        url = next;
    if (url.contains(kHref)) {
        for (const QChar stop : {QLatin1Char(' '), QLatin1Char('<'), QLatin1Char('>')}) {
            const qsizetype at = url.indexOf(stop);
            if (at >= 0)
                url.truncate(at);
        }
        url.remove(kHref, Qt::CaseInsensitive);
        url.remove(QStringLiteral(">here</a></body"), Qt::CaseInsensitive);
        url.remove(QLatin1Char('"'));
        url.remove(QLatin1Char('\''));
        url.remove(QLatin1Char(' '));
    }
    Item item;
    item.kind = Kind::Redirect;
    item.line = line;
    item.target = url;
    return item;
}

// What the page says is read once, when its first link is recorded.
LinkNotes::Flags PageAnalyser::notesOf(const Item &anchor, const QString &pageUrl)
{
    if (!m_pageNotesRead) {
        m_pageNotes = PageLinkNotes(m_original, m_head, pageUrl);
        m_pageNotesRead = true;
    }
    return m_pageNotes.flagsOfLink(m_original, anchor.hrefAt);
}

QString PageAnalyser::anchorTextOf(const Item &anchor) const
{
    return AnchorText::of(m_original, anchor.hrefAt);
}
