#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// Reading one HTML start tag out of a page text, as much as the link notes
// need: the tag around a position and its attributes. A hostile page can hold
// a "tag" of megabytes without a ">", so every reading stops after a bounded
// number of characters.
namespace HtmlTag {

// How far a tag is looked for before and after the position it must hold.
inline constexpr qsizetype kLookBehind = 4096;
inline constexpr qsizetype kLookAhead = 8192;

struct Attribute
{
    QString name;  // lower case
    QString value; // without its quotes, character references decoded; "" for an attribute without a value
};

struct Tag
{
    qsizetype start = -1; // the "<"
    qsizetype end = -1;   // just past the ">" (or where reading stopped)
    QString name;         // lower case: "a", "meta"
    bool selfClosing = false; // ends with "/>"
    QList<Attribute> attributes;
    bool isValid() const { return start >= 0; }
    // The value of the first attribute of that (lower-case) name; "" when absent.
    QString value(QStringView name) const;
    bool has(QStringView name) const;
};

// Reads the tag that opens at text[start] == '<' (quotes respected, at most
// lookAhead characters).
Tag readAt(QStringView text, qsizetype start, qsizetype lookAhead = kLookAhead);

// The tag that holds the position (the "href=" of an anchor): from the
// nearest "<" before it to the ">" that ends that tag. Invalid when the
// position lies outside any tag (text that only looks like an attribute).
Tag around(QStringView text, qsizetype position);

} // namespace HtmlTag
