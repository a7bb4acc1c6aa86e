#pragma once

#include <QString>

// A failure of a file operation as the save commands report it.
struct FileFailure
{
    int number = 0;      // the platform's error number (QFileDevice::FileError)
    QString description; // the platform's description of it

    // "Error: " + number + " - " + description.
    QString message() const;
};

// Deletes the file when it exists, then writes the text as a new file, one
// byte per character (ISO-8859-1). Returns false and fills the failure when
// the file cannot be deleted or written.
bool replaceTextFile(const QString &path, const QString &text, FileFailure *failure = nullptr);
