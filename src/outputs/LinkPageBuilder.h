#pragma once

#include "outputs/OutputFile.h"

#include <QString>

class Project;

// The links page: one anchor for every Linking Site found to link back, put
// between the user's own HTML before and after it.

struct LinkPageOptions
{
    bool allMainSites = true; // false: only rows of chosenMainSite (exact text)
    QString chosenMainSite;
    bool newWindow = false;   // target="_blank"
    bool bullets = false;     // each entry inside <li> ... </li>

    // The stored chkNewWin and chkBullet flags, all Main Sites: what the
    // headless scanner uses.
    static LinkPageOptions fromSettings();
};

struct GeneratedLinks
{
    bool hadResults = false; // false: the project has no results; show kNoResultsForLinks
    QString html;            // the anchors; empty when no row qualified
};

inline const QString kNoResultsForLinks = QStringLiteral(
    "No links were found in your Links List to generate HTML from.  Please scan for links first.");

GeneratedLinks generateLinksHtml(const Project &project, const LinkPageOptions &options);

// Generates and, when the project has results, replaces its generated links
// text. Returns false (nothing changed) when there are no results.
bool generateLinks(Project &project, const LinkPageOptions &options);

// The three texts as one page: before, two line breaks, the links, two line
// breaks, after.
QString linkPageText(const Project &project);

// "Save Webpage" after the dialog: the page text and one CR LF replace the file
// of exactly that name (no extension is added). False, with the reason, when
// the file cannot be deleted or written; nothing happens for an empty name.
bool saveLinkPage(const QString &path, const QString &pageText, FileFailure *failure = nullptr);

// The save dialog's filter, verbatim (its pattern list has no "*.txt").
inline const QString kLinkPageSaveFilter =
    QStringLiteral("Web Files (*.htm, *.html, *.asp, *.php, *.txt)|*.htm;*.asp;*.php;*.html");
