#include "net/BodyReader.h"

BodyReader::BodyReader(Framing framing, qint64 length, ContentDecoder::Coding coding, qint64 cap)
    : m_framing(framing)
    , m_remaining(qMax<qint64>(0, length))
    , m_cap(cap)
    , m_decoder(coding, cap)
{
    if (framing == Framing::Chunked)
        m_chunks = std::make_unique<ChunkedDecoder>(cap);
    m_complete = framing == Framing::Length && m_remaining == 0;
}

BodyReader::~BodyReader() = default;

void BodyReader::decode(const char *bytes, qsizetype size)
{
    m_decoder.feed(bytes, size);
    m_capped = m_capped || m_decoder.isCapped();
}

qsizetype BodyReader::feed(const char *bytes, qsizetype size)
{
    if (isDone() || size <= 0)
        return 0;
    switch (m_framing) {
    case Framing::Chunked: {
        const qsizetype used = m_chunks->feed(bytes, size);
        const QByteArray data = m_chunks->takeData();
        decode(data.constData(), data.size());
        m_capped = m_capped || m_chunks->isCapped();
        m_complete = m_chunks->isComplete();
        m_broken = m_chunks->isDone() && !m_complete;
        return used;
    }
    case Framing::Length: {
        // More than the length said came unasked: the length was wrong, and
        // the answer runs until the close, as an answer without one.
        if (size > m_remaining) {
            m_framing = Framing::Close;
            m_complete = false;
            return feed(bytes, size);
        }
        const qsizetype used = qsizetype(qMin<qint64>(m_remaining, size));
        // A length past the cap is read up to the cap, as a body without one.
        const qsizetype kept = qsizetype(qMin<qint64>(used, qMax<qint64>(0, m_cap - m_read)));
        decode(bytes, kept);
        m_read += used;
        m_remaining -= used;
        m_capped = m_capped || (m_cap >= 0 && m_read >= m_cap && m_remaining > 0);
        m_complete = m_remaining == 0;
        return used;
    }
    case Framing::Close: {
        const qsizetype kept = qsizetype(qMin<qint64>(size, qMax<qint64>(0, m_cap - m_read)));
        decode(bytes, kept);
        m_read += size;
        m_capped = m_capped || (m_cap >= 0 && m_read >= m_cap);
        return size;
    }
    }
    return 0;
}
