#pragma once

#include <QString>

// Where the proof pictures of links go (ProofShots): one PNG per Linking
// Site, FOLDER/MAINHOST/LINKINGHOST.png, replaced by the next picture of the
// same link. The window keeps them in "Proof" in the program folder;
// reciplex-scan where --proof says.
namespace ProofPictures {

QString windowFolder();
// Hosts go in lower case; a character a file name should not hold (a port's
// colon, a slash) becomes "_", and so does a name of dots only.
QString filePath(const QString &folder, const QString &mainHost, const QString &linkingHost);

} // namespace ProofPictures
