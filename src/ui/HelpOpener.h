#pragma once

class QWidget;

// Opens the Help.html shipped with the program with the desktop's handler and records
// showHelp = "0" machine-wide where the program has the rights to. Without a
// help file nothing happens. Returns true when the file was handed over.
bool openHelpFile(QWidget *parent);
