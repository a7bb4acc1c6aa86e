#include "scan/HtmlTag.h"

#include "scan/HtmlEntities.h"

namespace HtmlTag {

namespace {

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
        || c == QLatin1Char('\f');
}

} // namespace

QString Tag::value(QStringView name) const
{
    for (const Attribute &a : attributes)
        if (a.name == name)
            return a.value;
    return QString();
}

bool Tag::has(QStringView name) const
{
    for (const Attribute &a : attributes)
        if (a.name == name)
            return true;
    return false;
}

Tag readAt(QStringView text, qsizetype start, qsizetype lookAhead)
{
    Tag tag;
    if (start < 0 || start >= text.size() || text.at(start) != QLatin1Char('<'))
        return tag;
    tag.start = start;
    const qsizetype limit = lookAhead >= text.size() - start ? text.size() : start + lookAhead;
    qsizetype i = start + 1;
    // The tag name.
    while (i < limit && !isSpace(text.at(i)) && text.at(i) != QLatin1Char('>') && text.at(i) != QLatin1Char('/'))
        ++i;
    tag.name = text.mid(start + 1, i - start - 1).toString().toLower();
    while (i < limit) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('>')) {
            tag.selfClosing = text.at(i - 1) == QLatin1Char('/');
            ++i;
            tag.end = i;
            return tag;
        }
        if (isSpace(c) || c == QLatin1Char('/')) {
            ++i;
            continue;
        }
        // An attribute name runs to a space, "=", ">" or "/".
        const qsizetype nameStart = i;
        while (i < limit && !isSpace(text.at(i)) && text.at(i) != QLatin1Char('=') && text.at(i) != QLatin1Char('>')
               && text.at(i) != QLatin1Char('/'))
            ++i;
        Attribute attribute;
        attribute.name = text.mid(nameStart, i - nameStart).toString().toLower();
        qsizetype j = i;
        while (j < limit && isSpace(text.at(j)))
            ++j;
        if (j < limit && text.at(j) == QLatin1Char('=')) {
            ++j;
            while (j < limit && isSpace(text.at(j)))
                ++j;
            if (j < limit && (text.at(j) == QLatin1Char('"') || text.at(j) == QLatin1Char('\''))) {
                const QChar quote = text.at(j);
                const qsizetype valueStart = j + 1;
                qsizetype k = valueStart;
                while (k < limit && text.at(k) != quote)
                    ++k;
                attribute.value = HtmlEntities::decode(text.mid(valueStart, k - valueStart),
                                                       HtmlEntities::Context::Attribute);
                i = k < limit ? k + 1 : k;
            } else {
                const qsizetype valueStart = j;
                qsizetype k = j;
                while (k < limit && !isSpace(text.at(k)) && text.at(k) != QLatin1Char('>'))
                    ++k;
                attribute.value = HtmlEntities::decode(text.mid(valueStart, k - valueStart),
                                                       HtmlEntities::Context::Attribute);
                i = k;
            }
        }
        tag.attributes.append(attribute);
        if (i == nameStart)
            ++i; // nothing was read: never stand still
    }
    tag.end = i;
    return tag;
}

Tag around(QStringView text, qsizetype position)
{
    if (position < 0 || position >= text.size())
        return Tag();
    const qsizetype floor = qMax<qsizetype>(0, position - kLookBehind);
    qsizetype open = position;
    while (open >= floor && text.at(open) != QLatin1Char('<'))
        --open;
    if (open < floor)
        return Tag();
    Tag tag = readAt(text, open);
    // A "<" whose tag ends before the position is not the position's tag.
    if (!tag.isValid() || tag.end <= position)
        return Tag();
    return tag;
}

} // namespace HtmlTag
