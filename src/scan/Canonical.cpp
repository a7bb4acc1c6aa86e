#include "scan/Canonical.h"

#include "scan/HtmlTokenizer.h"

#include <QList>

namespace Canonical {

namespace {

bool isUnreserved(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' || u == '.'
        || u == '_' || u == '~';
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Escapes in one form: those of unreserved characters decoded, the others
// in upper case.
QString escapesInOneForm(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%') && i + 2 < text.size() && hexValue(text.at(i + 1)) >= 0
            && hexValue(text.at(i + 2)) >= 0) {
            const QChar decoded(hexValue(text.at(i + 1)) * 16 + hexValue(text.at(i + 2)));
            if (isUnreserved(decoded))
                out += decoded;
            else
                out += QLatin1Char('%') + text.mid(i + 1, 2).toString().toUpper();
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// "." and ".." segments resolved (RFC 3986, 5.2.4).
QString withoutDotSegments(const QString &path)
{
    QList<QStringView> kept;
    const QList<QStringView> segments = QStringView(path).split(QLatin1Char('/'));
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const QStringView s = segments.at(i);
        const bool last = i + 1 == segments.size();
        if (s == u".") {
            if (last)
                kept.append(QStringView());
        } else if (s == u"..") {
            if (kept.size() > 1)
                kept.removeLast();
            if (last)
                kept.append(QStringView());
        } else {
            kept.append(s);
        }
    }
    QString out;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (i > 0)
            out += QLatin1Char('/');
        out += kept.at(i);
    }
    return out.startsWith(QLatin1Char('/')) ? out : QLatin1Char('/') + out;
}

struct Parts
{
    QString authority; // host (lower case) and a port other than the default
    QString path;      // from its "/"
    QString query;     // with its "?", "" without one
    bool valid = false;
};

// An absolute URL's parts; "host/path" without a scheme is taken as http.
Parts splitAbsolute(QString url, bool schemeRequired)
{
    Parts parts;
    const qsizetype hash = url.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        url.truncate(hash);
    if (url.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) {
        url.remove(0, 7);
    } else if (url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        url.remove(0, 8);
    } else if (schemeRequired) {
        return parts;
    }
    const qsizetype pathAt = [&] {
        for (qsizetype i = 0; i < url.size(); ++i)
            if (url.at(i) == QLatin1Char('/') || url.at(i) == QLatin1Char('?'))
                return i;
        return url.size();
    }();
    QString authority = url.left(pathAt);
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    if (at >= 0)
        authority.remove(0, at + 1);
    authority = authority.toLower();
    const qsizetype colon = authority.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && !authority.endsWith(QLatin1Char(']'))) {
        const QString port = authority.mid(colon + 1);
        // The scheme makes no other page, so neither does either default port.
        if (port.isEmpty() || port == QLatin1String("80") || port == QLatin1String("443"))
            authority.truncate(colon);
    }
    if (authority.endsWith(QLatin1Char('.')))
        authority.chop(1);
    if (authority.isEmpty())
        return parts;
    QString rest = url.mid(pathAt);
    const qsizetype question = rest.indexOf(QLatin1Char('?'));
    parts.query = question >= 0 ? rest.mid(question) : QString();
    parts.path = question >= 0 ? rest.left(question) : rest;
    if (parts.path.isEmpty())
        parts.path = QStringLiteral("/");
    parts.authority = authority;
    parts.valid = true;
    return parts;
}

// The reference resolved against the page (RFC 3986, 5.2.2).
Parts resolve(const QString &reference, const Parts &base)
{
    QString ref = reference.trimmed();
    const qsizetype hash = ref.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        ref.truncate(hash);
    // A scheme other than http(s) names no page of the web.
    const qsizetype colon = ref.indexOf(QLatin1Char(':'));
    const qsizetype slash = ref.indexOf(QLatin1Char('/'));
    if (colon > 0 && (slash < 0 || colon < slash)) {
        const QString scheme = ref.left(colon).toLower();
        if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
            return Parts();
        if (!ref.mid(colon + 1).startsWith(QLatin1String("//")))
            ref = ref.mid(colon + 1); // "http:page.html" is relative
        else
            return splitAbsolute(ref, true);
    }
    if (ref.startsWith(QLatin1String("//")))
        return splitAbsolute(QStringLiteral("http:") + ref, true);
    Parts parts = base;
    if (ref.isEmpty())
        return parts;
    const qsizetype question = ref.indexOf(QLatin1Char('?'));
    const QString path = question >= 0 ? ref.left(question) : ref;
    const QString query = question >= 0 ? ref.mid(question) : QString();
    if (path.isEmpty()) {
        parts.query = query;
        return parts;
    }
    if (path.startsWith(QLatin1Char('/')))
        parts.path = path;
    else
        parts.path = base.path.left(base.path.lastIndexOf(QLatin1Char('/')) + 1) + path;
    parts.query = query;
    return parts;
}

// The text two URLs of the same page share.
QString key(const Parts &parts)
{
    QString path = escapesInOneForm(withoutDotSegments(parts.path));
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return parts.authority + path + escapesInOneForm(parts.query);
}

} // namespace

bool isCanonicalLink(const HtmlTag::Tag &tag)
{
    if (tag.name != QLatin1String("link") || !tag.has(u"href"))
        return false;
    const QString rel = tag.value(u"rel");
    for (QStringView token : QStringView(rel).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (token.trimmed().compare(u"canonical", Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QStringList fromPage(QStringView page)
{
    QStringList urls;
    HtmlTokenizer tokens(page);
    while (tokens.next()) {
        const HtmlTokenizer::Token &t = tokens.token();
        if (t.kind == HtmlTokenizer::Kind::StartTag && isCanonicalLink(t.tag))
            urls.append(t.tag.value(u"href"));
    }
    return urls;
}

QStringList fromHead(const QByteArray &head)
{
    QStringList urls;
    for (const QByteArray &rawLine : head.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed().toLower() != "link")
            continue;
        // Link values: "<url>; param=value; ..." separated by commas; a
        // comma inside the "<...>" or quotes belongs to the value.
        const QString value = QString::fromLatin1(line.mid(colon + 1));
        qsizetype i = 0;
        while (i < value.size()) {
            const qsizetype open = value.indexOf(QLatin1Char('<'), i);
            if (open < 0)
                break;
            const qsizetype close = value.indexOf(QLatin1Char('>'), open + 1);
            if (close < 0)
                break;
            const QString url = value.mid(open + 1, close - open - 1).trimmed();
            qsizetype j = close + 1;
            bool quoted = false;
            while (j < value.size() && (quoted || value.at(j) != QLatin1Char(','))) {
                if (value.at(j) == QLatin1Char('"'))
                    quoted = !quoted;
                ++j;
            }
            bool canonical = false;
            for (QStringView param : QStringView(value).mid(close + 1, j - close - 1).split(QLatin1Char(';'))) {
                const qsizetype eq = param.indexOf(QLatin1Char('='));
                if (eq < 0 || param.left(eq).trimmed().compare(u"rel", Qt::CaseInsensitive) != 0)
                    continue;
                QStringView rel = param.mid(eq + 1).trimmed();
                if (rel.startsWith(QLatin1Char('"')))
                    rel = rel.mid(1);
                if (rel.endsWith(QLatin1Char('"')))
                    rel.chop(1);
                for (QStringView token : rel.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    canonical = canonical || token.compare(u"canonical", Qt::CaseInsensitive) == 0;
            }
            if (canonical)
                urls.append(url);
            i = j + 1;
        }
    }
    return urls;
}

bool pointsElsewhere(const QString &canonical, const QString &pageUrl)
{
    const Parts page = splitAbsolute(pageUrl.trimmed(), false);
    if (!page.valid)
        return false;
    const Parts target = resolve(canonical, page);
    return target.valid && key(target) != key(page);
}

bool pageIsCanonicalElsewhere(const QStringList &canonicals, const QString &pageUrl)
{
    const Parts page = splitAbsolute(pageUrl.trimmed(), false);
    if (!page.valid)
        return false;
    QString agreed;
    for (const QString &url : canonicals) {
        const Parts target = resolve(url, page);
        if (!target.valid)
            continue;
        const QString k = key(target);
        if (!agreed.isEmpty() && k != agreed)
            return false; // they disagree: none counts
        agreed = k;
    }
    return !agreed.isEmpty() && agreed != key(page);
}

} // namespace Canonical
