#pragma once

#include <QString>
#include <QStringView>

// The cache files of the last page analysed, in the program folder:
// "html" + slot + ".txt" holds the page text after anchor normalisation and
// "html2" + slot + ".txt" the same text without line breaks, each followed by
// CR LF. They are written for every page but never read back: the analysis
// reads its lines from the text in memory, so a second program sharing the
// folder, or a folder the user cannot write, changes nothing. A file that
// cannot be written is passed over.
namespace PageCache {
QString cachePath(int slot);
QString strippedCachePath(int slot);
void write(const QString &path, const QString &strippedPath, const QString &pageText);
} // namespace PageCache

// Reads lines as the cache file would give them: a line ends at CR LF or at a
// lone CR; a lone LF stays inside the line.
class CacheLineReader
{
public:
    explicit CacheLineReader(const QString &text) : m_text(text) {}
    bool next(QString &line);

private:
    const QString &m_text;
    qsizetype m_pos = 0;
};

// The anchor normalisation of page intake: "href=" followed by up to eight
// spaces loses them (longer runs in the same passes as before), every
// "href=" in any case becomes lower case and starts a new line.
void normaliseAnchors(QString &text);
