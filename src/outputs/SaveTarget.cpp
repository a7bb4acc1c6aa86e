#include "outputs/SaveTarget.h"

#include "url/TextMatch.h"

#include <QFile>

SaveOutcome prepareSaveTarget(const QString &chosenName, const QString &extension,
                              const OverwriteQuestion &askOverwrite)
{
    SaveOutcome out;
    if (isBlankEntry(chosenName))
        return out; // the dialog was cancelled

    QFile existing(chosenName);
    if (existing.exists()) {
        if (askOverwrite && !askOverwrite(chosenName))
            return out;
        if (!existing.remove()) {
            out.kind = SaveOutcome::Failed;
            out.errorMessage = FileFailure{int(existing.error()), existing.errorString()}.message();
            return out;
        }
    }

    out.kind = SaveOutcome::Saved;
    out.path = chosenName;
    if (!chosenName.contains(extension, Qt::CaseInsensitive))
        out.path += extension;
    return out;
}
