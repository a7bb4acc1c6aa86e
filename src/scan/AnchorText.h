#pragma once

#include <QString>
#include <QStringView>

// The words of a link as a visitor reads them: the text between the
// anchor's start tag and its end with the tags removed, character
// references decoded, white space collapsed to single spaces and trimmed;
// the "alt" text of the first image inside when the link has no text. A
// page sent in UTF-8 reads as UTF-8 (the page text holds its bytes one per
// character), any other as the Western code page.
//
// The text ends at "</a>", at the next anchor (one never closed) or at the
// next "href=" of the page, so the words of every link of a page together
// are read in time linear in the page, however many links it has.
namespace AnchorText {

inline constexpr qsizetype kMaxLength = 200;

// position: any character of the anchor's start tag, such as its "href=".
// "" when no <a> (or <area>, which gives its "alt") holds the position.
QString of(QStringView page, qsizetype position);

} // namespace AnchorText
