#pragma once

#include <QString>

class QWidget;

// Opens the Help.html shipped with the program with the desktop's handler and records
// showHelp = "0" machine-wide where the program has the rights to. Without a
// help file nothing happens. Returns true when the file was handed over.
bool openHelpFile(QWidget *parent);

// The page the "Web" tab and the website window open on: the maker's website
// has no real address yet, so the user guide (Help.html of the program folder)
// stands in; "about:blank" without a guide.
QString startPageUrl();
