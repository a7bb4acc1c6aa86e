#include "scan/LinkNotes.h"

#include "scan/HtmlTag.h"

#include <QRegularExpression>

namespace LinkNotes {

QString text(Flags flags)
{
    static const struct { Flag flag; const char *word; } words[] = {
        {JavaScript, "JavaScript"},
        {Nofollow, "nofollow"},
        {Sponsored, "sponsored"},
        {Ugc, "ugc"},
        {Hidden, "hidden"},
        {NoindexPage, "noindex page"},
        {NofollowPage, "nofollow page"},
        {CanonicalElsewhere, "canonical elsewhere"},
        {BlockedByRobots, "blocked by robots.txt"},
        {BlockedForGooglebot, "blocked for Googlebot"},
        {RobotsUnreachable, "robots.txt unreachable"},
    };
    QString out;
    for (const auto &w : words) {
        if (!(flags & w.flag))
            continue;
        if (!out.isEmpty())
            out += QLatin1String(", ");
        out += QLatin1String(w.word);
    }
    return out;
}

Flags relFlags(QStringView tagText)
{
    const qsizetype open = tagText.indexOf(QLatin1Char('<'));
    const HtmlTag::Tag tag = HtmlTag::readAt(tagText, open);
    if (!tag.has(u"rel"))
        return None;
    Flags flags = None;
    const QString rel = tag.value(u"rel").toLower();
    static const QRegularExpression space(QStringLiteral("\\s+"));
    for (const QString &token : rel.split(space, Qt::SkipEmptyParts)) {
        if (token == QLatin1String("nofollow"))
            flags |= Nofollow;
        else if (token == QLatin1String("sponsored"))
            flags |= Sponsored;
        else if (token == QLatin1String("ugc"))
            flags |= Ugc;
    }
    return flags;
}

} // namespace LinkNotes
