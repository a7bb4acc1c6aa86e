#pragma once

#include <QString>

// The number of links expected from a Linking Site's "#" text: an optional
// sign and decimal digits, surrounding spaces allowed, within 32 bits;
// anything else counts as 1.
qint64 linksExpectedFromText(const QString &text);

// The "No." column of a row and the count of a "Missing" row: at least three
// digits with zeros in front.
QString threeDigits(qint64 n);
