#include "outputs/BrowseUrl.h"

QString browseUrl(const QString &text)
{
    if (text.contains(QLatin1String("http"), Qt::CaseInsensitive))
        return text;
    return QStringLiteral("http://") + text;
}
