#include "scan/AnchorText.h"

#include "model/Windows1252.h"
#include "scan/HtmlEntities.h"
#include "scan/HtmlTag.h"
#include "scan/HtmlTokenizer.h"
#include "url/TextSearch.h"

#include <QSet>
#include <QStringDecoder>

namespace AnchorText {

namespace {

// However far away its end, one link's words are never looked for further
// than this.
constexpr qsizetype kMaxReach = 256 * 1024;

// Elements that start a line of their own: the words on either side of them
// are apart.
bool breaksWords(const QString &name)
{
    static const QSet<QString> names = {
        "br", "p", "div", "li", "ul", "ol", "dl", "dt", "dd", "h1", "h2", "h3", "h4", "h5", "h6", "tr", "td",
        "th", "table", "section", "article", "header", "footer", "nav", "aside", "main", "blockquote", "pre",
        "hr", "address", "figure", "figcaption", "form", "fieldset", "legend", "center", "caption"};
    return names.contains(name);
}

// Page characters are its bytes: valid UTF-8 reads as UTF-8, anything else
// as the Western code page. Text that already holds wider characters stays.
QString readable(QStringView raw)
{
    bool ascii = true;
    for (const QChar c : raw) {
        if (c.unicode() > 0xFF)
            return raw.toString();
        ascii = ascii && c.unicode() < 0x80;
    }
    if (ascii)
        return raw.toString();
    const QByteArray bytes = raw.toLatin1();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return Windows1252::decode(bytes);
}

// Collapses white space as it goes and knows when it has enough.
class Words
{
public:
    void add(QStringView raw)
    {
        if (raw.isEmpty())
            return;
        const QString text = HtmlEntities::decode(readable(raw));
        for (const QChar c : text) {
            if (full())
                return;
            if (c.isSpace()) {
                m_pendingSpace = !m_text.isEmpty();
                continue;
            }
            if (m_pendingSpace) {
                m_text += QLatin1Char(' ');
                m_pendingSpace = false;
            }
            m_text += c;
        }
    }
    void breakWords() { m_pendingSpace = !m_text.isEmpty(); }
    bool full() const { return m_text.size() > kMaxLength; }
    bool isEmpty() const { return m_text.isEmpty(); }
    QString text() const { return cut(m_text); }

    static QString cut(QString text)
    {
        if (text.size() > kMaxLength) {
            qsizetype length = kMaxLength;
            if (text.at(length - 1).isHighSurrogate())
                --length; // never half a character
            text.truncate(length);
        }
        return text.trimmed();
    }

private:
    QString m_text;
    bool m_pendingSpace = false;
};

QString cleanAlt(const QString &alt)
{
    Words words;
    words.add(alt);
    return words.text();
}

} // namespace

QString of(QStringView page, qsizetype position)
{
    const HtmlTag::Tag tag = HtmlTag::around(page, position);
    if (!tag.isValid())
        return QString();
    if (tag.name == QLatin1String("area"))
        return cleanAlt(tag.value(u"alt"));
    if (tag.name != QLatin1String("a"))
        return QString();

    // The reach ends where the next link's tag could begin.
    qsizetype reach = qMin(page.size(), tag.end + kMaxReach);
    const qsizetype nextHref = TextSearch::indexOfNoCase(page.first(reach), u"href=", tag.end);
    if (nextHref >= 0)
        reach = nextHref;
    const QStringView view = page.first(qMax(reach, tag.end));

    Words words;
    QString alt;
    HtmlTokenizer tokens(view, tag.end);
    qsizetype textFrom = tag.end;
    bool ended = false;
    while (!ended && !words.full() && tokens.next()) {
        const HtmlTokenizer::Token &t = tokens.token();
        words.add(view.mid(textFrom, t.start - textFrom));
        textFrom = t.end;
        switch (t.kind) {
        case HtmlTokenizer::Kind::StartTag:
            if (t.name == QLatin1String("a")) {
                ended = true;
            } else if (t.name == QLatin1String("img")) {
                if (alt.isEmpty())
                    alt = cleanAlt(t.tag.value(u"alt"));
            } else if (breaksWords(t.name)) {
                words.breakWords();
            }
            break;
        case HtmlTokenizer::Kind::EndTag:
            if (t.name == QLatin1String("a"))
                ended = true;
            else if (breaksWords(t.name))
                words.breakWords();
            break;
        case HtmlTokenizer::Kind::Comment:
        case HtmlTokenizer::Kind::RawText:
            break; // nothing a visitor reads
        }
    }
    if (!ended && !words.full())
        words.add(view.mid(qMin(textFrom, view.size())));
    return words.isEmpty() ? alt : words.text();
}

} // namespace AnchorText
