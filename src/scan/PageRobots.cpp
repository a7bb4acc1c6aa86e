#include "scan/PageRobots.h"

#include "scan/HtmlTokenizer.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace PageRobots {

namespace {

bool isSeparator(QChar c)
{
    return c == QLatin1Char(',') || c.isSpace();
}

} // namespace

LinkNotes::Flags fromDirectives(QStringView directives)
{
    LinkNotes::Flags flags = LinkNotes::None;
    qsizetype i = 0;
    const qsizetype n = directives.size();
    while (i < n) {
        while (i < n && isSeparator(directives.at(i)))
            ++i;
        const qsizetype start = i;
        while (i < n && !isSeparator(directives.at(i)))
            ++i;
        const QStringView word = directives.mid(start, i - start);
        if (word.compare(u"noindex", Qt::CaseInsensitive) == 0)
            flags |= LinkNotes::NoindexPage;
        else if (word.compare(u"nofollow", Qt::CaseInsensitive) == 0)
            flags |= LinkNotes::NofollowPage;
        else if (word.compare(u"none", Qt::CaseInsensitive) == 0)
            flags |= LinkNotes::NoindexPage | LinkNotes::NofollowPage;
    }
    return flags;
}

LinkNotes::Flags fromMetaTag(const HtmlTag::Tag &tag)
{
    if (tag.name != QLatin1String("meta"))
        return LinkNotes::None;
    const QString name = tag.value(u"name").trimmed();
    if (name.compare(QLatin1String("robots"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("googlebot"), Qt::CaseInsensitive) == 0)
        return fromDirectives(tag.value(u"content"));
    return LinkNotes::None;
}

LinkNotes::Flags fromMeta(QStringView pageText)
{
    LinkNotes::Flags flags = LinkNotes::None;
    HtmlTokenizer tokens(pageText);
    while (tokens.next()) {
        if (tokens.token().kind == HtmlTokenizer::Kind::StartTag)
            flags |= fromMetaTag(tokens.token().tag);
    }
    return flags;
}

LinkNotes::Flags fromHead(const QByteArray &head)
{
    LinkNotes::Flags flags = LinkNotes::None;
    static const QByteArray name("x-robots-tag");
    for (const QByteArray &rawLine : head.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed().toLower() != name)
            continue;
        QString value = QString::fromLatin1(line.mid(colon + 1)).trimmed();
        // "googlebot: noindex" names a crawler; "unavailable_after: …" and
        // "max-snippet: …" are directives with values, not crawler names.
        const qsizetype inner = value.indexOf(QLatin1Char(':'));
        if (inner > 0) {
            const QString first = value.left(inner).trimmed().toLower();
            static const QStringList valued = {QStringLiteral("unavailable_after"), QStringLiteral("max-snippet"),
                                               QStringLiteral("max-image-preview"), QStringLiteral("max-video-preview")};
            const bool isName = !first.contains(QLatin1Char(',')) && !first.contains(QLatin1Char(' '))
                && !valued.contains(first);
            if (isName) {
                if (first != QLatin1String("googlebot"))
                    continue;
                value = value.mid(inner + 1);
            }
        }
        flags |= fromDirectives(value);
    }
    return flags;
}

} // namespace PageRobots
