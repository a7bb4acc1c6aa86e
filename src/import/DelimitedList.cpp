#include "import/DelimitedList.h"

const QStringList &delimiterChoices()
{
    static const QStringList items = {QStringLiteral("Vertical Bar Symbol"), QStringLiteral("Percent Symbol"),
                                      QStringLiteral("Comma"), QStringLiteral("Exclamation Point")};
    return items;
}

std::optional<QString> delimiterForChoice(int chosenIndex, const QString &shownText)
{
    static const char *const characters[] = {"|", "%", ",", "!"};
    if (chosenIndex >= 0 && chosenIndex < int(delimiterChoices().size()))
        return QString::fromLatin1(characters[chosenIndex]);
    if (shownText == kDelimiterPrompt)
        return std::nullopt;
    return shownText;
}

QString removeMarkup(const QString &text)
{
    QString t = text;
    // A stray ">" before the first "<" neither ends the removal early nor
    // stalls it: the tag is the first "<" with the first ">" after it.
    for (;;) {
        const qsizetype open = t.indexOf(QLatin1Char('<'));
        if (open < 0)
            break;
        const qsizetype close = t.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0)
            break;
        t.remove(t.mid(open, close - open + 1), Qt::CaseSensitive);
    }
    return t;
}

QString delimitedListText(const QString &page, const QString &delimiter)
{
    QString t = page;
    t.remove(QStringLiteral("\r\n"));
    t = removeMarkup(t);
    if (delimiter.isEmpty()) {
        // Spaces replaced by nothing, and an empty delimiter separates nothing.
        t.remove(QLatin1Char(' '));
        return t;
    }
    t.replace(QLatin1String(" "), delimiter, Qt::CaseInsensitive);
    t.replace(delimiter, QStringLiteral(","), Qt::CaseInsensitive);
    return t;
}

QStringList splitImportList(const QString &listText)
{
    if (listText.isEmpty())
        return {};
    QStringList entries = listText.split(QLatin1Char(','));
    for (QString &e : entries)
        e = e.trimmed();
    return entries;
}
