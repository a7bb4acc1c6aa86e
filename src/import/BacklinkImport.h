#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

class Project;

// Brings the links a backlink export lists into the project: each linking
// page whose target is on one of the project's Main Sites becomes a Linking
// Site of that Main Site, with the page as its URL and its Link Page URL.
// A page the Main Site already has (as either, scheme, "www." and a final
// "/" aside) or that the file lists twice is skipped; the other rows are
// counted and named in the summary. A file without a target column adds to
// the current Main Site. Importing does not mark the project edited.
struct BacklinkImportResult
{
    bool ok = false;
    QString error;                  // nothing was added: why
    int added = 0;
    QMap<QString, int> addedTo;     // Main Site url -> Linking Sites added
    int duplicates = 0;
    QMap<QString, int> otherTargets; // host -> rows whose target is on none of the Main Sites
    int notPages = 0;               // rows whose linking page is empty or not a web address
    QStringList refused;            // pages the project file would read back as marker lines

    QString statusText() const;     // "Added n link(s)"
    QString summary() const;        // the whole story, for a message
};

BacklinkImportResult importBacklinks(Project &project, const QByteArray &csv, int currentMainSite);
BacklinkImportResult importBacklinksFile(Project &project, const QString &path, int currentMainSite);

// The file filter of the open dialog.
inline const QString kBacklinkFileFilter = QStringLiteral("Backlink exports (*.csv *.tsv *.txt)|*.csv;*.tsv;*.txt");
