#include "url/TextLines.h"

QStringList splitTextLines(const QString &text, bool loneLineFeedEndsLine)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            lines << text.mid(start, i - start);
            if (i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        } else if (c == QLatin1Char('\n') && loneLineFeedEndsLine) {
            lines << text.mid(start, i - start);
            start = i + 1;
        }
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}
