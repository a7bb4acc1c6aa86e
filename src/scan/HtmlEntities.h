#pragma once

#include <QString>
#include <QStringView>

// Character references ("&amp;", "&#102;", "&#x66;", "&eacute;") decoded the
// way a browser decodes them, so that what a page says in a rel token or in
// the words of a link reads as the visitor sees it.
namespace HtmlEntities {

// In an attribute value a name without its ";" that runs on into letters,
// digits or "=" stays as written ("?a=1&copy=2"); in text it is decoded.
enum class Context { Text, Attribute };

QString decode(QStringView text, Context context = Context::Text);

} // namespace HtmlEntities
