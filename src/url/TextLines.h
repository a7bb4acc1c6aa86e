#pragma once

#include <QString>
#include <QStringList>

// Cuts text into lines the way the program reads its text files: a line ends
// at a carriage return, with or without a following line feed. A lone line
// feed ends a line only when asked (import files edited on Linux); the page
// text of a links page keeps it inside the line. Text after the last line
// break is the last line; a final line break adds no empty line.
QStringList splitTextLines(const QString &text, bool loneLineFeedEndsLine);
