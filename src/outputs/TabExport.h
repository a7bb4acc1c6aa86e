#pragma once

#include "model/ProjectTypes.h"
#include "outputs/SaveTarget.h"

#include <QList>
#include <QString>

// The results list as tab-separated text: the column captions, an empty line,
// one line per row, and the final line break that leaves an empty last line.
// Fields are written as they are, tabs included. While chkAnchorText is "1"
// and some row has an anchor text, a last column "Anchor Text" holds them.
QString tabDelimitedText(const QList<LinkResult> &results);

// "Save Tab Delimited" after the dialog: the shared save rules with ".tab",
// then the file is written. A write failure gives kind Failed with the
// "Error: " message.
SaveOutcome saveTabDelimited(const QList<LinkResult> &results, const QString &chosenName,
                             const OverwriteQuestion &askOverwrite);

// The save dialog's filter, verbatim.
inline const QString kTabSaveFilter = QStringLiteral("TAB Files (*.tab)|*.tab");
