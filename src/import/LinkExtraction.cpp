#include "import/LinkExtraction.h"

#include "url/TextLines.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

#include <QRegularExpression>

namespace {

const QString kHref = QStringLiteral("href=");

bool hasExcludedFragment(const QString &candidate)
{
    for (const QString &fragment : excludedLinkFragments())
        if (candidate.contains(fragment, Qt::CaseInsensitive))
            return true;
    return false;
}

// The value of the line's first "href=", cut at the first quote or ">".
QString candidateOf(const QString &line)
{
    QString t = line.mid(line.indexOf(kHref, 0, Qt::CaseInsensitive));
    t.replace(QLatin1String("href=\""), kHref, Qt::CaseInsensitive);
    t.replace(QLatin1String("href='"), kHref, Qt::CaseInsensitive);
    // The last character is never looked at: a value that closes the line
    // with its quote loses its final character, which the ending repair of
    // resolveLink puts back for the common extensions.
    const qsizetype n = t.size();
    qsizetype cut = -1;
    for (qsizetype p = 0; p < n - 1; ++p) {
        const QChar c = t.at(p);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('>')) {
            cut = p;
            break;
        }
    }
    QString candidate = cut >= 0 ? t.left(cut) : t.left(qMax<qsizetype>(0, n - 2));
    candidate.remove(kHref, Qt::CaseInsensitive);
    return candidate;
}

} // namespace

QString importBase(const QString &typedUrl)
{
    QString base = typedUrl;
    base.remove(QStringLiteral("http://"));
    base.remove(QStringLiteral("https://"));
    base.remove(QStringLiteral("www."));
    const qsizetype slash = base.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        base.truncate(slash + 1);
    return base;
}

const QStringList &excludedLinkFragments()
{
    static const QStringList fragments = {
        QStringLiteral("javascript"), QStringLiteral("mailto"), QStringLiteral(".mpg"), QStringLiteral(".js"),
        QStringLiteral(".mpeg"), QStringLiteral(".swf"), QStringLiteral(".avi"), QStringLiteral(".jpg"),
        QStringLiteral(".jpeg"), QStringLiteral(".gif"), QStringLiteral(".bmp"), QStringLiteral(".mov"),
        QStringLiteral(".rm"), QStringLiteral(".mp3"), QStringLiteral(".wav"), QStringLiteral(".ra"),
        QStringLiteral(".pdf"), QStringLiteral(".css"), QStringLiteral(".exe"), QStringLiteral(".sit"),
        QStringLiteral(".zip"), QStringLiteral(".msi"), QStringLiteral(".ppt"), QStringLiteral(".doc"),
        QStringLiteral(".xls"), QStringLiteral(".ico"), QStringLiteral("#"),
    };
    return fragments;
}

QString resolveLink(const QString &candidate, const QString &base)
{
    QString s = candidate;
    const bool hadHttp = s.contains(QLatin1String("http://"), Qt::CaseInsensitive);
    if (hadHttp)
        s.remove(QStringLiteral("http://"), Qt::CaseInsensitive);
    if (s.contains(QLatin1String("https://"), Qt::CaseInsensitive))
        s.remove(QStringLiteral("https://"), Qt::CaseInsensitive);

    if (s.startsWith(QLatin1Char('/'))) {
        s = base + s;
        s.replace(QLatin1String("//"), QLatin1String("/"));
    } else if (s.startsWith(QLatin1String(".."))) {
        s.remove(QStringLiteral(".."));
        s = backDir(base) + s;
        s.replace(QLatin1String("//"), QLatin1String("/"));
    } else {
        if (s.startsWith(QLatin1String("./"))) {
            s.remove(QStringLiteral("./"));
            s.prepend(QLatin1Char('/'));
        }
        if (!hadHttp && !hasDomainMarker(s))
            s = base + QLatin1Char('/') + s;
    }
    if (!s.contains(QLatin1Char('/')))
        s += QLatin1Char('/');
    for (int i = 0; i < 4; ++i)
        s.replace(QLatin1String("//"), QLatin1String("/"));
    repairLinkEnding(s);
    return s;
}

QString extractedStatusText(int keptCount)
{
    return QStringLiteral("Extracted ") + QString::number(keptCount) + QStringLiteral(" link(s)");
}

QString extractLinks(const QString &pageText, const QString &base,
                     const std::function<void(int)> &progress)
{
    // Every "href=" starts a line of its own, so only the first of a line counts.
    static const QRegularExpression href(QStringLiteral("href="), QRegularExpression::CaseInsensitiveOption);
    QString text = pageText;
    text.replace(href, QStringLiteral("\r\nhref="));
    text += QLatin1String("\r\n");

    QString result;
    int kept = 0;
    for (const QString &line : splitTextLines(text, false)) {
        if (!line.contains(kHref, Qt::CaseInsensitive))
            continue;
        const QString candidate = candidateOf(line);
        if (hasExcludedFragment(candidate))
            continue;
        const QString link = resolveLink(candidate, base);
        if (containsNoCase(link, base)) // into the user's own site
            continue;
        result += link;
        result += QLatin1Char(',');
        ++kept;
        if (progress)
            progress(kept);
    }
    return result;
}
