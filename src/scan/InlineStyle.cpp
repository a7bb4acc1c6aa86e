#include "scan/InlineStyle.h"

#include <QList>
#include <QString>

namespace {

// The text without its /* comments */.
QString withoutComments(QStringView style)
{
    QString out;
    out.reserve(style.size());
    qsizetype i = 0;
    while (i < style.size()) {
        const qsizetype open = style.indexOf(u"/*", i);
        if (open < 0) {
            out += style.mid(i);
            break;
        }
        out += style.mid(i, open - i);
        out += QLatin1Char(' ');
        const qsizetype close = style.indexOf(u"*/", open + 2);
        if (close < 0)
            break;
        i = close + 2;
    }
    return out;
}

} // namespace

InlineStyle InlineStyle::parse(QStringView style)
{
    InlineStyle result;
    if (style.isEmpty())
        return result;
    bool displayImportant = false;
    bool visibilityImportant = false;
    const QString text = withoutComments(style).toLower();
    for (QStringView declaration : QStringView(text).split(QLatin1Char(';'))) {
        const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QStringView property = declaration.left(colon).trimmed();
        QStringView value = declaration.mid(colon + 1).trimmed();
        bool important = false;
        if (value.endsWith(u"important")) {
            const QStringView before = value.chopped(9).trimmed();
            if (before.endsWith(QLatin1Char('!'))) {
                important = true;
                value = before.chopped(1).trimmed();
            }
        }
        if (value.isEmpty())
            continue; // an invalid declaration changes nothing
        if (property == u"display") {
            if (displayImportant && !important)
                continue;
            displayImportant = important;
            result.display = value == u"none" ? Display::None : Display::Shown;
        } else if (property == u"visibility") {
            if (visibilityImportant && !important)
                continue;
            visibilityImportant = important;
            if (value == u"hidden" || value == u"collapse")
                result.visibility = Visibility::Hidden;
            else if (value == u"visible" || value == u"initial")
                result.visibility = Visibility::Visible;
            else
                result.visibility = Visibility::Unset;
        }
    }
    return result;
}
