#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Advanced mode of "Get Links": a script on the user's server prints the
// sites separated by a delimiter, possibly wrapped in markup.

// The drop-down's prompt and its items, in list order.
inline const QString kDelimiterPrompt = QStringLiteral("Select or Type a Delimiter");
const QStringList &delimiterChoices(); // "Vertical Bar Symbol", "Percent Symbol", "Comma", "Exclamation Point"
inline const QString kNoDelimiterMessage = QStringLiteral("You must select a delimiter first");

// The delimiter of the drop-down: the chosen item's character when an item
// is chosen (index 0 to 3), otherwise the typed text of any length; none when
// the prompt is left unchanged.
std::optional<QString> delimiterForChoice(int chosenIndex, const QString &shownText);

// Removes markup: while a "<" has a ">" after it, the text from that "<"
// through the first ">" after it is removed wherever it occurs exactly. Done
// in one pass over the text, however many different tags it holds.
QString removeMarkup(const QString &text);

// The downloaded list made a comma-separated list text: CR LF pairs removed,
// markup removed, every space and then every delimiter (any case) made ",".
QString delimitedListText(const QString &page, const QString &delimiter);

// The entries of a comma-separated list text, in order, surrounding white
// space removed; empty entries stay (an empty row of the list). An empty text
// has no entries.
QStringList splitImportList(const QString &listText);
