#pragma once

#include "scan/HtmlTag.h"

#include <QString>
#include <QStringView>

// Walks the markup of a page once, front to back, as a browser's tokenizer
// sees it: start tags with their attributes, end tags, comments, and the
// content of the elements that hold text rather than tags (script, style,
// textarea, title, ...). What sits in a comment or a script is never taken
// for a tag. Text between tags is passed over.
//
// Every character is read a bounded number of times, whatever the page: a
// tag without its ">" runs to the end of the page, as in a browser, and the
// walk goes on from where each token ended.
class HtmlTokenizer
{
public:
    enum class Kind { StartTag, EndTag, Comment, RawText };
    struct Token
    {
        Kind kind = Kind::Comment;
        qsizetype start = 0; // the "<" (the first character of RawText)
        qsizetype end = 0;   // just past the token
        HtmlTag::Tag tag;    // StartTag: the tag read whole
        QString name;        // StartTag, EndTag and RawText: the element, lower case
    };

    // Reads from the position on (a "<" there begins the first token).
    explicit HtmlTokenizer(QStringView page, qsizetype from = 0);

    // The next token; false once the page is read.
    bool next();
    const Token &token() const { return m_token; }

    // Whether an element of that (lower-case) name holds text, not tags.
    static bool holdsRawText(QStringView name);

private:
    bool readComment(qsizetype lt);
    bool readEndTag(qsizetype lt);
    void readStartTag(qsizetype lt);

    QStringView m_page;
    qsizetype m_pos = 0;
    Token m_token;
    // The content of a raw-text element, handed out after its start tag.
    bool m_rawPending = false;
    qsizetype m_rawStart = 0;
    qsizetype m_rawEnd = 0;
    QString m_rawName;
};
