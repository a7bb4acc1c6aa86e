#pragma once

#include "model/ProjectTypes.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Everything one Linking Site's scan means to change in the scan it belongs
// to, in the order it happened: the sequencer applies it to the project in
// the order of the one-site scan, as it comes while the site is the earliest
// unfinished one, all at once when an earlier site has committed.
struct SiteScanRecord
{
    // A link row whose robots.txt answer came after the row.
    struct NotesChange
    {
        int row = -1;          // in rows
        QString before;        // the notes the row was written with
        QString notes;
    };

    QList<LinkResult> rows;
    QList<ErrorEntry> errors;
    QList<NotesChange> notesChanges;
    QString url;               // the Linking Site's URL now (replaced through chkUpdate)
    int urlChanges = 0;
    RowColour colour = RowColour::Default;
    int colourChanges = 0;
    QList<QPair<QString, Rule>> ruleLog; // rejected URL and the rule that rejected it
    QStringList secureHosts;   // learned by this site: typed with https, or redirected there
    qint64 pagesScanned = 0;
    qint64 pagesFound = 0;
    qint64 linksFound = 0;
    // The last page taken in, as the cache files hold it (anchors on lines of
    // their own); the cache files are written from it when the site commits.
    QString lastPage;
    bool hasLastPage = false;
    QString proofPath;         // the picture of its link, when one was taken

    // Its start page was read: an answer the site can be judged by.
    bool checked = false;
    QString reason;            // the text in parentheses of its "None Found" row

    // Set once the site has ended by itself or by a Skip.
    bool finished = false;
    bool skipped = false;
    bool outcomeRecorded = false;
    QString outcome;           // "Direct Link", "Missing 001", "None Found (Timeout)" …
    QString outcomeMainSite;
    QString outcomeHost;
};
