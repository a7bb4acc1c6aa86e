#include "scan/HtmlTokenizer.h"

#include "url/TextSearch.h"

namespace {

bool isAsciiLetter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}

bool endsTagName(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
        || c == QLatin1Char('\f') || c == QLatin1Char('/') || c == QLatin1Char('>');
}

} // namespace

HtmlTokenizer::HtmlTokenizer(QStringView page, qsizetype from)
    : m_page(page), m_pos(qBound<qsizetype>(0, from, page.size()))
{
}

bool HtmlTokenizer::holdsRawText(QStringView name)
{
    static const char *const names[] = {"script", "style",   "textarea", "title",    "xmp",
                                        "iframe", "noembed", "noframes", "plaintext"};
    for (const char *n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

bool HtmlTokenizer::next()
{
    if (m_rawPending) {
        m_rawPending = false;
        m_token = Token();
        m_token.kind = Kind::RawText;
        m_token.start = m_rawStart;
        m_token.end = m_rawEnd;
        m_token.name = m_rawName;
        return true;
    }
    const qsizetype n = m_page.size();
    while (m_pos < n) {
        const qsizetype lt = m_page.indexOf(QLatin1Char('<'), m_pos);
        if (lt < 0 || lt + 1 >= n) {
            m_pos = n;
            return false;
        }
        const QChar c = m_page.at(lt + 1);
        if (c == QLatin1Char('!') || c == QLatin1Char('?')) {
            if (readComment(lt))
                return true;
        } else if (c == QLatin1Char('/')) {
            if (readEndTag(lt))
                return true;
        } else if (isAsciiLetter(c)) {
            readStartTag(lt);
            return true;
        } else {
            m_pos = lt + 1; // a "<" in the text
        }
    }
    return false;
}

// "<!-- ... -->", and the bogus comments "<!...>" and "<?...>" that end at
// the first ">".
bool HtmlTokenizer::readComment(qsizetype lt)
{
    const qsizetype n = m_page.size();
    qsizetype end;
    if (m_page.mid(lt).startsWith(u"<!--")) {
        const qsizetype body = lt + 4;
        if (body < n && m_page.at(body) == QLatin1Char('>'))
            end = body + 1; // "<!-->"
        else if (m_page.mid(body).startsWith(u"->"))
            end = body + 2; // "<!--->"
        else {
            const qsizetype close = m_page.indexOf(u"-->", body);
            end = close < 0 ? n : close + 3; // an open comment runs to the end
        }
    } else {
        const qsizetype close = m_page.indexOf(QLatin1Char('>'), lt + 2);
        end = close < 0 ? n : close + 1;
    }
    m_token = Token();
    m_token.kind = Kind::Comment;
    m_token.start = lt;
    m_token.end = end;
    m_pos = end;
    return true;
}

bool HtmlTokenizer::readEndTag(qsizetype lt)
{
    const qsizetype n = m_page.size();
    if (lt + 2 >= n) {
        m_pos = n;
        return false;
    }
    if (!isAsciiLetter(m_page.at(lt + 2))) {
        if (m_page.at(lt + 2) == QLatin1Char('>')) {
            m_pos = lt + 3; // "</>" is dropped
            return false;
        }
        return readComment(lt); // "</ x>" is a bogus comment
    }
    qsizetype i = lt + 2;
    while (i < n && !endsTagName(m_page.at(i)))
        ++i;
    const qsizetype close = m_page.indexOf(QLatin1Char('>'), i);
    m_token = Token();
    m_token.kind = Kind::EndTag;
    m_token.start = lt;
    m_token.end = close < 0 ? n : close + 1;
    m_token.name = m_page.mid(lt + 2, i - lt - 2).toString().toLower();
    m_pos = m_token.end;
    return true;
}

void HtmlTokenizer::readStartTag(qsizetype lt)
{
    const qsizetype n = m_page.size();
    m_token = Token();
    m_token.kind = Kind::StartTag;
    m_token.start = lt;
    m_token.tag = HtmlTag::readAt(m_page, lt, n - lt);
    m_token.end = m_token.tag.end;
    m_token.name = m_token.tag.name;
    m_pos = m_token.end;
    if (!holdsRawText(m_token.name) || m_pos >= n)
        return;
    // The content runs to the first "</name" that ends a tag name; without
    // one, to the end of the page ("plaintext" never ends).
    qsizetype rawEnd = n;
    if (m_token.name != QLatin1String("plaintext")) {
        const QString closer = QStringLiteral("</") + m_token.name;
        qsizetype from = m_pos;
        while (true) {
            const qsizetype at = TextSearch::indexOfNoCase(m_page, closer, from);
            if (at < 0)
                break;
            const qsizetype after = at + closer.size();
            if (after >= n || endsTagName(m_page.at(after))) {
                rawEnd = at;
                break;
            }
            from = at + 1;
        }
    }
    m_rawPending = true;
    m_rawStart = m_pos;
    m_rawEnd = rawEnd;
    m_rawName = m_token.name;
    m_pos = rawEnd;
}
