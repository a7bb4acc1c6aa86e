#include "net/ChunkedBody.h"

#include <QList>

namespace ChunkedBody {

bool isChunked(const QByteArray &head)
{
    for (const QByteArray &line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed().compare("transfer-encoding", Qt::CaseInsensitive) != 0)
            continue;
        if (line.mid(colon + 1).toLower().contains("chunked"))
            return true;
    }
    return false;
}

namespace {

// The size of a chunk-size line ("1a", "1A;name=value", " 10 "): -1 when it
// is not a hexadecimal number. Sizes beyond any body are capped, which is
// enough to take what is left.
qint64 chunkSize(const QByteArray &line)
{
    qsizetype end = line.indexOf(';');
    const QByteArray digits = (end < 0 ? line : line.left(end)).trimmed();
    if (digits.isEmpty())
        return -1;
    constexpr qint64 kBeyondAnyBody = qint64(1) << 40;
    qint64 size = 0;
    for (const char c : digits) {
        int value;
        if (c >= '0' && c <= '9')
            value = c - '0';
        else if (c >= 'a' && c <= 'f')
            value = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            value = c - 'A' + 10;
        else
            return -1;
        size = qMin(kBeyondAnyBody, size * 16 + value);
    }
    return size;
}

} // namespace

QByteArray decode(const QByteArray &body)
{
    QByteArray data;
    qsizetype pos = 0;
    while (pos < body.size()) {
        const qsizetype lineEnd = body.indexOf('\n', pos);
        if (lineEnd < 0)
            break; // the size line never ended
        QByteArray line = body.mid(pos, lineEnd - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        const qint64 size = chunkSize(line);
        if (size <= 0)
            break; // the last chunk (trailers follow), or not a size at all
        pos = lineEnd + 1;
        const qsizetype take = qsizetype(qMin<qint64>(size, body.size() - pos));
        data.append(body.constData() + pos, take);
        pos += take;
        if (take < size)
            break; // cut off inside the chunk
        // The chunk's data ends with CR LF (a bare LF is taken too).
        if (body.mid(pos, 2) == "\r\n")
            pos += 2;
        else if (pos < body.size() && body.at(pos) == '\n')
            pos += 1;
        else
            break;
    }
    return data;
}

} // namespace ChunkedBody
