#include "net/ChunkedBody.h"

#include <QList>

#include <cstring>

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

QByteArray decode(const QByteArray &body)
{
    ChunkedDecoder decoder;
    decoder.feed(body);
    return decoder.takeData();
}

} // namespace ChunkedBody

namespace {

// A size line longer than this is no size line: a server that never ends one
// must not fill the memory.
constexpr qsizetype kMaxSizeLine = 64 * 1024;

// The size of a chunk-size line ("1a", "1A;name=value", " 10 "): -1 when it
// is not a hexadecimal number. Sizes beyond any body are capped, which is
// enough to take what is left.
qint64 chunkSize(const QByteArray &line)
{
    const qsizetype end = line.indexOf(';');
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

void ChunkedDecoder::append(const char *bytes, qsizetype size)
{
    if (m_cap >= 0 && m_total + size >= m_cap) {
        size = qsizetype(m_cap - m_total);
        m_capped = true;
        m_state = State::Done;
    }
    m_total += size;
    m_data.append(bytes, size);
}

void ChunkedDecoder::endSizeLine()
{
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    const qint64 size = chunkSize(m_line);
    m_line.clear();
    // The last chunk (trailers follow), or not a size at all.
    m_state = size < 0 ? State::Done : size == 0 ? State::Trailers : State::Data;
    m_remaining = size;
}

qsizetype ChunkedDecoder::feed(const char *bytes, qsizetype size)
{
    qsizetype pos = 0;
    while (pos < size && m_state != State::Done) {
        switch (m_state) {
        case State::SizeLine: {
            const char *nl = static_cast<const char *>(memchr(bytes + pos, '\n', size_t(size - pos)));
            const qsizetype end = nl ? nl - bytes : size;
            m_line.append(bytes + pos, end - pos);
            pos = end;
            if (m_line.size() > kMaxSizeLine) {
                m_state = State::Done;
                break;
            }
            if (nl) {
                ++pos;
                endSizeLine();
            }
            break;
        }
        case State::Data: {
            const qsizetype take = qsizetype(qMin<qint64>(m_remaining, size - pos));
            append(bytes + pos, take);
            pos += take;
            m_remaining -= take;
            if (m_remaining == 0 && m_state == State::Data)
                m_state = State::AfterData;
            break;
        }
        // The chunk's data ends with CR LF; a bare LF is taken too.
        case State::AfterData:
            m_state = bytes[pos] == '\r' ? State::AfterDataCr : bytes[pos] == '\n' ? State::SizeLine : State::Done;
            ++pos;
            break;
        case State::AfterDataCr:
            m_state = bytes[pos] == '\n' ? State::SizeLine : State::Done;
            ++pos;
            break;
        // Trailer lines until an empty one; a line too long ends the body.
        case State::Trailers: {
            const char *nl = static_cast<const char *>(memchr(bytes + pos, '\n', size_t(size - pos)));
            const qsizetype end = nl ? nl - bytes : size;
            m_line.append(bytes + pos, end - pos);
            pos = end;
            if (m_line.size() > kMaxSizeLine) {
                m_line.clear();
                m_state = State::Done;
                break;
            }
            if (nl) {
                ++pos;
                if (m_line == "" || m_line == "\r") {
                    m_complete = true;
                    m_state = State::Done;
                }
                m_line.clear();
            }
            break;
        }
        case State::Done:
            break;
        }
    }
    return pos;
}
