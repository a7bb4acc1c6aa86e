#pragma once

#include "model/ProjectTypes.h"

#include <QList>
#include <QString>
#include <QStringList>

class Project;

// Filling a project in bulk from a text file (one entry per line) and from the
// rows chosen in an import window. Importing does not mark the project edited.

inline const QString kImportFileFilter = QStringLiteral("Text Files (*.txt)|*.txt");
inline const QString kSelectMainSiteFirst = QStringLiteral("Please select a Main Site first.");

// "Project Files" in the program folder: where the open dialog starts.
QString importStartFolder();

// The entries of an import file's text. Lines end at CR, CR LF or a lone LF;
// empty lines and lines of exactly one space are skipped.
// Linking Sites: the url trimmed; after a "|", the count exactly as written.
QList<LinkingSite> parseLinkingSitesText(const QString &text);
// Main Sites: each line as it is; "|" means nothing there.
QStringList parseMainSitesText(const QString &text);

struct SiteImportResult
{
    enum Kind {
        Added,      // `count` rows added; show statusText
        NoMainSite, // nothing added: show kSelectMainSiteFirst (one OK button)
        Unreadable, // the file could not be read: show errorMessage
    };
    Kind kind = Added;
    int count = 0;
    QString statusText;   // "Added n link(s)" / "Added n site(s)"
    QString errorMessage; // "Error: " + number + " - " + description
    // Linking Sites passed over because the project file would read them back
    // as marker lines; the window names them with refusedMessage().
    QStringList refused;
    QString refusedMessage() const;
};

// The Import Linking Sites window's file import, adding to the Main Site at
// mainPos (the current one at that moment). Without a Main Site there nothing
// is added: the rows would belong to no Main Site and be lost.
SiteImportResult importLinkingSitesFile(Project &project, int mainPos, const QString &path);

// The Import Main Sites window's file import.
SiteImportResult importMainSitesFile(Project &project, const QString &path);

// "Add Selected Links to My Link List": each selected row's text, unchanged,
// as a Linking Site of the Main Site at mainPos; blank rows are passed over.
// Pressed twice, it adds the rows twice. No status text.
SiteImportResult addSelectedLinks(Project &project, int mainPos, const QStringList &selectedRows);
