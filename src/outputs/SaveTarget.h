#pragma once

#include "outputs/OutputFile.h"

#include <QString>

#include <functional>

// The rules shared by "Save Report As" and "Save Tab Delimited" once the user
// has chosen a name: a blank name is a cancelled dialog; an existing file of
// the name as chosen is overwritten only after the question; the extension is
// appended afterwards, so a longer name that exists is overwritten unasked.

inline const QString kOverwriteQuestion =
    QStringLiteral("File already exists.  Are you sure you want to overwrite it?");

// Asked with the existing path; true means OK (overwrite), false Cancel. The
// window shows kOverwriteQuestion with OK and Cancel; a headless caller may
// pass an empty function, which overwrites.
using OverwriteQuestion = std::function<bool(const QString &path)>;

struct SaveOutcome
{
    enum Kind { Saved, Cancelled, Failed };
    Kind kind = Cancelled;
    QString path;         // the name written, extension included
    QString errorMessage; // "Error: " + number + " - " + description when Failed
};

// Runs the shared steps and returns the path to write (kind Saved), or
// Cancelled / Failed. `extension` is ".htm" or ".tab": it is appended when the
// name does not contain it, ignoring case.
SaveOutcome prepareSaveTarget(const QString &chosenName, const QString &extension,
                              const OverwriteQuestion &askOverwrite);
