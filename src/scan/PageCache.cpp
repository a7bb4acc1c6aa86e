#include "scan/PageCache.h"

#include "settings/ProgramFolder.h"
#include "url/TextSearch.h"

#include <QFile>

namespace PageCache {

QString cachePath(int slot)
{
    return ProgramFolder::filePath(QStringLiteral("html%1.txt").arg(slot));
}

QString strippedCachePath(int slot)
{
    return ProgramFolder::filePath(QStringLiteral("html2%1.txt").arg(slot));
}

// The old content is overwritten in place and the file cut to the new length.
// Truncating to nothing and writing again makes some file systems flush the
// data to disk at close, which costs more than the rest of a page's work.
static void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return;
    if (file.write(bytes) == bytes.size())
        file.resize(bytes.size());
}

void write(const QString &path, const QString &strippedPath, const QString &pageText)
{
    QByteArray bytes = pageText.toLatin1();
    bytes += "\r\n";
    writeFile(path, bytes);
    bytes.chop(2);
    bytes.removeIf([](char c) { return c == '\r' || c == '\n'; });
    bytes += "\r\n";
    writeFile(strippedPath, bytes);
}

} // namespace PageCache

bool CacheLineReader::next(QString &line)
{
    const qsizetype size = m_text.size();
    if (m_pos >= size)
        return false;
    const qsizetype cr = m_text.indexOf(QLatin1Char('\r'), m_pos);
    if (cr < 0) {
        line = m_text.mid(m_pos);
        m_pos = size;
        return true;
    }
    line = m_text.mid(m_pos, cr - m_pos);
    m_pos = cr + 1;
    if (m_pos < size && m_text.at(m_pos) == QLatin1Char('\n'))
        ++m_pos;
    return true;
}

void normaliseAnchors(QString &text)
{
    static const QString href = QStringLiteral("href=");
    // The eight passes only matter where some "href=" is followed by a space.
    if (TextSearch::containsNoCase(text, u"href= ")) {
        for (int n = 8; n >= 1; --n)
            TextSearch::replaceNoCase(text, href + QString(n, QLatin1Char(' ')), href);
    }
    TextSearch::replaceNoCase(text, href, u"\r\nhref=");
}
