#include "net/ContentDecoder.h"

#include <zlib.h>

#include <cstring>

struct ContentDecoder::Stream
{
    z_stream z{};
    bool open = false;
    QByteArray head; // deflate: the first bytes, until two tell zlib's wrapper from raw data
    ~Stream()
    {
        if (open)
            inflateEnd(&z);
    }
};

ContentDecoder::Coding ContentDecoder::codingOf(const QByteArray &contentEncoding)
{
    const QByteArray value = contentEncoding.trimmed().toLower();
    if (value == "gzip" || value == "x-gzip")
        return Coding::Gzip;
    if (value == "deflate")
        return Coding::Deflate;
    return Coding::Identity;
}

ContentDecoder::ContentDecoder(Coding coding, qint64 cap)
    : m_coding(coding)
    , m_cap(cap)
{
}

ContentDecoder::~ContentDecoder() = default;

void ContentDecoder::append(const char *bytes, qsizetype size)
{
    if (m_cap >= 0 && m_data.size() + size >= m_cap) {
        size = qsizetype(m_cap - m_data.size());
        m_capped = true;
        m_done = true;
    }
    m_data.append(bytes, size);
}

void ContentDecoder::feed(const char *bytes, qsizetype size)
{
    if (m_done || size <= 0)
        return;
    if (m_coding == Coding::Identity) {
        append(bytes, size);
        return;
    }
    inflateSome(bytes, size);
}

// "deflate" is meant to carry zlib's wrapper, but servers send the raw
// stream too: the first two bytes tell which.
bool ContentDecoder::startStream(const unsigned char *first, qsizetype size)
{
    int windowBits = 16 + MAX_WBITS; // gzip
    if (m_coding == Coding::Deflate) {
        const bool wrapped = size >= 2 && (first[0] & 0x0f) == 8 && ((first[0] << 8) | first[1]) % 31 == 0;
        windowBits = wrapped ? MAX_WBITS : -MAX_WBITS;
    }
    if (!m_stream)
        m_stream = std::make_unique<Stream>();
    if (inflateInit2(&m_stream->z, windowBits) != Z_OK)
        return false;
    m_stream->open = true;
    return true;
}

void ContentDecoder::inflateSome(const char *bytes, qsizetype size)
{
    // A deflate body's first two bytes are needed to open its stream.
    QByteArray joined;
    if (!m_stream || !m_stream->open) {
        if (m_coding == Coding::Deflate) {
            if (!m_stream)
                m_stream = std::make_unique<Stream>();
            m_stream->head.append(bytes, size);
            if (m_stream->head.size() < 2)
                return;
            joined = std::exchange(m_stream->head, QByteArray());
            bytes = joined.constData();
            size = joined.size();
        }
        if (!startStream(reinterpret_cast<const unsigned char *>(bytes), size)) {
            m_done = true;
            return;
        }
    }
    z_stream &z = m_stream->z;
    char out[32 * 1024];
    const unsigned char *next = reinterpret_cast<const unsigned char *>(bytes);
    qsizetype left = size;
    for (;;) {
        if (m_memberEnded) {
            // Another gzip member may follow the one that ended; anything
            // else after it is not the page's.
            if (left == 0)
                return;
            if (m_coding != Coding::Gzip || next[0] != 0x1f || inflateReset(&z) != Z_OK) {
                m_done = true;
                return;
            }
            m_memberEnded = false;
        }
        const uInt offered = uInt(qMin<qsizetype>(left, 1 << 30));
        z.next_in = const_cast<Bytef *>(next);
        z.avail_in = offered;
        z.next_out = reinterpret_cast<Bytef *>(out);
        z.avail_out = sizeof out;
        const int status = inflate(&z, Z_NO_FLUSH);
        const uInt used = offered - z.avail_in;
        next += used;
        left -= used;
        m_in += used;
        append(out, qsizetype(sizeof out - z.avail_out));
        if (!m_done && m_data.size() > kRatioFloor && m_data.size() > kMaxRatio * qMax<qint64>(1, m_in)) {
            m_capped = true; // a bomb: cut where it showed, as an over-long page
            m_done = true;
        }
        if (m_done)
            return;
        if (status == Z_STREAM_END) {
            m_memberEnded = true;
            continue;
        }
        if (status == Z_OK) {
            if (left == 0 && z.avail_out != 0)
                return; // everything taken: the rest of the body is awaited
            continue;
        }
        if (status == Z_BUF_ERROR)
            return; // no progress without more of the body
        m_done = true; // broken: what decoded so far stays
        return;
    }
}

QByteArray ContentDecoder::decode(Coding coding, const QByteArray &body, qint64 cap, bool *capped)
{
    ContentDecoder decoder(coding, cap);
    decoder.feed(body);
    if (capped)
        *capped = decoder.isCapped();
    return decoder.takeData();
}
