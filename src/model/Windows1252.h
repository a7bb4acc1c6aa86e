#pragma once

#include <QByteArray>
#include <QString>

// The 8-bit Western code page of project files. Bytes 0xA0 to 0xFF and below
// 0x80 are the characters of the same number (as in ISO-8859-1); 0x80 to 0x9F
// hold the typographic quotes, dashes, the euro sign and a few letters. The
// five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) read
// as the control character of the same number and are written back as that
// byte, so every byte of any file reads and writes back unchanged.
namespace Windows1252 {

QString decode(const QByteArray &bytes);

// Characters the code page cannot hold are written as "?".
QByteArray encode(const QString &text);

bool canHold(QChar c);

// The characters of the text that the code page cannot hold, each once, in
// the order they first appear.
QString unholdable(const QString &text);

} // namespace Windows1252
