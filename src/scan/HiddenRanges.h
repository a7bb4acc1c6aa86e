#pragma once

#include "scan/HtmlTokenizer.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

// The parts of a page no visitor sees, found in one pass over its markup so
// that any number of anchors can then be asked about by position:
//
// - an HTML comment;
// - the content of <noscript> and <template>;
// - an element with the "hidden" attribute (unless its own style sets a
//   display), or with "display: none" in its style attribute, down to its
//   end tag;
// - an element with "visibility: hidden" (or "collapse") in its style
//   attribute, except where a descendant says "visibility: visible".
//
// Elements are matched to their end tags as a browser would for ordinary
// pages: void elements never open, and a new <p>, <li>, <dt>/<dd>, <option>,
// <tr>, <td>/<th> or <a> closes one still open just before it. Style sheets,
// classes and scripts are not read: a link hidden by them is not seen here.
class HiddenRanges
{
public:
    struct Range
    {
        qsizetype start; // the first hidden character
        qsizetype end;   // just past the last
    };

    HiddenRanges() = default;
    static HiddenRanges ofPage(QStringView page);

    // Whether the character at the position (an anchor's "href=") is hidden.
    bool contains(qsizetype position) const;
    const QList<Range> &ranges() const { return m_ranges; }

    // Takes the tokens of one walk over a page, in order; others may read
    // the same walk for their own ends.
    class Builder
    {
    public:
        void take(const HtmlTokenizer::Token &token);
        HiddenRanges finish(qsizetype pageSize);

    private:
        struct Open
        {
            QString name;
            bool displayNone = false; // this element or one around it is not displayed
            bool invisible = false;   // the visibility in effect here is hidden
        };
        void startTag(const HtmlTokenizer::Token &token);
        void endTag(const HtmlTokenizer::Token &token);
        void push(Open open);
        void popDownTo(qsizetype depth);
        void closeImplied(QStringView name, qsizetype at);
        void closeNearby(std::initializer_list<const char *> names, std::initializer_list<const char *> boundaries,
                         qsizetype at);
        bool hiddenNow() const;
        void changed(qsizetype at);
        void addRange(qsizetype start, qsizetype end);

        QList<Open> m_open;
        QHash<QString, int> m_openCount; // by name, for end tags that close nothing
        qsizetype m_hiddenFrom = -1;     // where the hidden element range began, -1 while shown
        QList<Range> m_ranges;
    };

private:
    QList<Range> m_ranges; // in page order, apart
};
