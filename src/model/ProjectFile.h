#pragma once

#include <QString>
#include <QStringList>

class Project;

// The project file: text lines in the Western code page Windows-1252 ended by
// CR LF, "|" between fields, marker lines, "|||" for a line break inside a
// page-builder text, and one empty line at the end. quicksave.qsv has the same
// format. Files written as ISO-8859-1 read the same, but for bytes 0x80 to 0x9F
// (control characters there, never written by hand), which read as the
// typographic characters the Western code page puts there.
namespace ProjectFile {

struct ReadResult
{
    bool opened = false;       // the file could be opened
    bool complete = false;     // read to the end; false when a line stopped it
    int stopLineNumber = 0;    // 1-based line that stopped the reading
    QString stopLine;
};

// The whole text as written (lines, markers, final empty line). skipMainSite
// leaves that Main Site and its Linking Sites out (the snapshot). The
// results' anchor texts are written while chkAnchorText is "1".
QByteArray serialise(const Project &project, int skipMainSite = -1);

// The characters of the project that a project file cannot hold (they are
// written as "?"), each once, in the order they are written.
QString unstorableCharacters(const Project &project);

// Writes the text to a temporary file beside the target and renames it over
// the target, so a failure leaves the old file untouched. Returns false on any
// failure with a description in *error.
bool write(const Project &project, const QString &path, QString *error = nullptr, int skipMainSite = -1);

// Clears the project and reads the file into it. The project-saved flag is set
// once the first line has been read; a complete read makes the first Main Site
// current. Settings and the report are the caller's.
ReadResult read(Project &project, const QString &path);
ReadResult readText(Project &project, const QByteArray &bytes);

// The line markers, in the order the reader tests them.
const QStringList &markers();
// The marker a line begins with (letter case significant), "" when none. A
// Linking Site URL that begins with one would be read back as that line.
QString markerAtStart(const QString &line);

// "Unnamed.prj" or the first Main Site's host without dots plus ".prj".
QString proposedSaveName(const Project &project);

} // namespace ProjectFile
