#include "scan/HiddenRanges.h"

#include "scan/InlineStyle.h"

#include <QSet>

#include <algorithm>
#include <iterator>

namespace {

// Deeper nesting than this is never seen on a real page; a hostile one gets
// no more memory for it, and its deeper elements simply do not nest.
constexpr qsizetype kMaxDepth = 4096;
// How far below the current element an implied end tag is looked for.
constexpr qsizetype kImpliedReach = 32;

bool isVoid(const QString &name)
{
    static const QSet<QString> names = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link",
                                        "meta", "param", "source", "track", "wbr", "basefont", "bgsound",
                                        "frame", "keygen", "image"};
    return names.contains(name);
}

// Start tags that end a <p> still open.
bool closesParagraph(const QString &name)
{
    static const QSet<QString> names = {
        "address", "article", "aside", "blockquote", "center", "details", "dialog", "dir", "div", "dl",
        "fieldset", "figcaption", "figure", "footer", "form", "h1", "h2", "h3", "h4", "h5", "h6", "header",
        "hgroup", "hr", "main", "menu", "nav", "ol", "p", "pre", "section", "summary", "table", "ul",
        "li", "dd", "dt", "listing", "search", "plaintext", "xmp"};
    return names.contains(name);
}

bool isOneOf(const QString &name, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

} // namespace

HiddenRanges HiddenRanges::ofPage(QStringView page)
{
    HtmlTokenizer tokens(page);
    Builder builder;
    while (tokens.next())
        builder.take(tokens.token());
    return builder.finish(page.size());
}

bool HiddenRanges::contains(qsizetype position) const
{
    auto after = std::upper_bound(m_ranges.cbegin(), m_ranges.cend(), position,
                                  [](qsizetype p, const Range &r) { return p < r.start; });
    if (after == m_ranges.cbegin())
        return false;
    return position < std::prev(after)->end;
}

void HiddenRanges::Builder::take(const HtmlTokenizer::Token &token)
{
    switch (token.kind) {
    case HtmlTokenizer::Kind::StartTag:
        startTag(token);
        break;
    case HtmlTokenizer::Kind::EndTag:
        endTag(token);
        break;
    case HtmlTokenizer::Kind::Comment:
        if (m_hiddenFrom < 0)
            addRange(token.start, token.end);
        break;
    case HtmlTokenizer::Kind::RawText:
        break; // a script's text is no link a visitor sees, nor one hidden from him
    }
}

HiddenRanges HiddenRanges::Builder::finish(qsizetype pageSize)
{
    if (m_hiddenFrom >= 0)
        addRange(m_hiddenFrom, pageSize); // never closed: hidden to the end
    m_hiddenFrom = -1;
    HiddenRanges ranges;
    ranges.m_ranges = std::exchange(m_ranges, {});
    m_open.clear();
    m_openCount.clear();
    return ranges;
}

void HiddenRanges::Builder::startTag(const HtmlTokenizer::Token &token)
{
    const QString &name = token.name;
    closeImplied(name, token.start);

    const HtmlTag::Tag &tag = token.tag;
    const InlineStyle style = tag.has(u"style") ? InlineStyle::parse(tag.value(u"style")) : InlineStyle();
    const bool ownNone = style.display == InlineStyle::Display::None
        || (style.display == InlineStyle::Display::Unset && tag.has(u"hidden"))
        || name == QLatin1String("template") || name == QLatin1String("noscript");
    Open open;
    open.name = name;
    open.displayNone = ownNone || (!m_open.isEmpty() && m_open.last().displayNone);
    if (style.visibility == InlineStyle::Visibility::Unset)
        open.invisible = !m_open.isEmpty() && m_open.last().invisible;
    else
        open.invisible = style.visibility == InlineStyle::Visibility::Hidden;

    // An element that holds nothing hides at most its own tag; in SVG and
    // MathML "/>" closes an element as well.
    const bool foreign = m_openCount.value(QStringLiteral("svg")) > 0 || m_openCount.value(QStringLiteral("math")) > 0;
    if (isVoid(name) || (tag.selfClosing && foreign)) {
        if ((open.displayNone || open.invisible) && m_hiddenFrom < 0)
            addRange(token.start, token.end);
        return;
    }
    if (m_open.size() >= kMaxDepth)
        return;
    push(std::move(open));
    changed(token.start);
}

void HiddenRanges::Builder::endTag(const HtmlTokenizer::Token &token)
{
    // A browser keeps what follows </body> or </html> in the body.
    if (token.name == QLatin1String("body") || token.name == QLatin1String("html"))
        return;
    if (m_openCount.value(token.name) == 0)
        return; // closes nothing
    qsizetype depth = m_open.size() - 1;
    while (m_open.at(depth).name != token.name)
        --depth;
    popDownTo(depth);
    changed(token.end);
}

void HiddenRanges::Builder::push(Open open)
{
    ++m_openCount[open.name];
    m_open.append(std::move(open));
}

// Every element from this depth up is closed.
void HiddenRanges::Builder::popDownTo(qsizetype depth)
{
    while (m_open.size() > depth) {
        auto it = m_openCount.find(m_open.last().name);
        if (it != m_openCount.end() && --it.value() == 0)
            m_openCount.erase(it);
        m_open.removeLast();
    }
}

// The end tags a browser supplies when a start tag cannot nest in what is open.
void HiddenRanges::Builder::closeImplied(QStringView name, qsizetype at)
{
    const QString n = name.toString();
    const auto scope = {"table", "td", "th", "caption", "template", "html", "marquee", "object", "applet"};
    if (n == QLatin1String("li"))
        closeNearby({"li"}, {"ul", "ol", "table", "td", "th", "caption", "template", "html"}, at);
    else if (n == QLatin1String("dt") || n == QLatin1String("dd"))
        closeNearby({"dt", "dd"}, {"dl", "table", "td", "th", "caption", "template", "html"}, at);
    else if (n == QLatin1String("option"))
        closeNearby({"option"}, {"select", "datalist", "optgroup", "template", "html"}, at);
    else if (n == QLatin1String("optgroup"))
        closeNearby({"option", "optgroup"}, {"select", "template", "html"}, at);
    else if (n == QLatin1String("tr"))
        closeNearby({"tr"}, {"table", "template", "html"}, at);
    else if (n == QLatin1String("td") || n == QLatin1String("th"))
        closeNearby({"td", "th"}, {"tr", "table", "template", "html"}, at);
    else if (n == QLatin1String("a"))
        closeNearby({"a"}, scope, at);
    if (closesParagraph(n))
        closeNearby({"p"}, {"button", "table", "td", "th", "caption", "template", "html", "marquee", "object",
                            "applet"},
                    at);
}

void HiddenRanges::Builder::closeNearby(std::initializer_list<const char *> names,
                                        std::initializer_list<const char *> boundaries, qsizetype at)
{
    if (m_open.isEmpty())
        return;
    bool anyOpen = false;
    for (const char *n : names)
        anyOpen = anyOpen || m_openCount.value(QLatin1String(n)) > 0;
    if (!anyOpen)
        return;
    const qsizetype floor = qMax<qsizetype>(0, m_open.size() - kImpliedReach);
    for (qsizetype depth = m_open.size() - 1; depth >= floor; --depth) {
        const QString &open = m_open.at(depth).name;
        if (isOneOf(open, names)) {
            popDownTo(depth);
            changed(at);
            return;
        }
        if (isOneOf(open, boundaries))
            return;
    }
}

bool HiddenRanges::Builder::hiddenNow() const
{
    return !m_open.isEmpty() && (m_open.last().displayNone || m_open.last().invisible);
}

void HiddenRanges::Builder::changed(qsizetype at)
{
    const bool hidden = hiddenNow();
    if (hidden && m_hiddenFrom < 0) {
        m_hiddenFrom = at;
    } else if (!hidden && m_hiddenFrom >= 0) {
        addRange(m_hiddenFrom, at);
        m_hiddenFrom = -1;
    }
}

void HiddenRanges::Builder::addRange(qsizetype start, qsizetype end)
{
    if (end <= start)
        return;
    if (!m_ranges.isEmpty() && m_ranges.last().end >= start) {
        m_ranges.last().end = qMax(m_ranges.last().end, end);
        return;
    }
    m_ranges.append({start, end});
}
