#include "scan/MetaRefresh.h"

#include "scan/HtmlTokenizer.h"

namespace MetaRefresh {

namespace {

bool isAsciiSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
        || c == QLatin1Char('\f');
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

// The steps browsers share for a declared refresh (HTML, "shared declarative
// refresh steps").
QString targetOfContent(QStringView content, bool *readable)
{
    if (readable)
        *readable = false;
    const qsizetype n = content.size();
    qsizetype i = 0;
    const auto skipSpaces = [&] {
        while (i < n && isAsciiSpace(content.at(i)))
            ++i;
    };
    skipSpaces();
    qint64 delay = 0;
    const qsizetype digits = i;
    while (i < n && isDigit(content.at(i))) {
        if (delay <= kMaxDelaySeconds)
            delay = delay * 10 + (content.at(i).unicode() - '0');
        ++i;
    }
    if (i == digits && (i >= n || content.at(i) != QLatin1Char('.')))
        return QString();
    while (i < n && (isDigit(content.at(i)) || content.at(i) == QLatin1Char('.')))
        ++i; // a fraction of a second is passed over
    if (i < n) {
        const QChar c = content.at(i);
        if (c != QLatin1Char(';') && c != QLatin1Char(',') && !isAsciiSpace(c))
            return QString();
        skipSpaces();
        if (i < n && (content.at(i) == QLatin1Char(';') || content.at(i) == QLatin1Char(',')))
            ++i;
        skipSpaces();
    }
    if (readable)
        *readable = true;
    if (i >= n || delay > kMaxDelaySeconds)
        return QString(); // the page reloads itself, or waits too long to count
    QStringView url = content.mid(i);
    // "url=" is optional, in any case, with spaces around the "=".
    qsizetype j = i;
    if (j + 2 < n && content.mid(j, 3).compare(u"url", Qt::CaseInsensitive) == 0) {
        j += 3;
        while (j < n && isAsciiSpace(content.at(j)))
            ++j;
        if (j < n && content.at(j) == QLatin1Char('=')) {
            ++j;
            while (j < n && isAsciiSpace(content.at(j)))
                ++j;
            url = content.mid(j);
        }
    }
    if (!url.isEmpty() && (url.front() == QLatin1Char('"') || url.front() == QLatin1Char('\''))) {
        const QChar quote = url.front();
        url = url.mid(1);
        const qsizetype close = url.indexOf(quote);
        if (close >= 0)
            url = url.left(close);
    }
    return url.trimmed().toString();
}

QString target(QStringView page)
{
    HtmlTokenizer tokens(page);
    int inNoscript = 0;
    while (tokens.next()) {
        const HtmlTokenizer::Token &t = tokens.token();
        if (t.name == QLatin1String("noscript")) {
            if (t.kind == HtmlTokenizer::Kind::StartTag)
                ++inNoscript;
            else if (t.kind == HtmlTokenizer::Kind::EndTag && inNoscript > 0)
                --inNoscript;
            continue;
        }
        if (t.kind != HtmlTokenizer::Kind::StartTag || t.name != QLatin1String("meta") || inNoscript > 0)
            continue;
        if (t.tag.value(u"http-equiv").trimmed().compare(QLatin1String("refresh"), Qt::CaseInsensitive) != 0
            || !t.tag.has(u"content"))
            continue;
        bool readable = false;
        const QString url = targetOfContent(t.tag.value(u"content"), &readable);
        if (readable)
            return url; // the first refresh a browser acts on decides
    }
    return QString();
}

QString targetOfHead(const QByteArray &head)
{
    for (const QByteArray &rawLine : head.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed().toLower() != "refresh")
            continue;
        bool readable = false;
        const QString url = targetOfContent(QString::fromLatin1(line.mid(colon + 1)), &readable);
        if (readable)
            return url;
    }
    return QString();
}

} // namespace MetaRefresh
