#pragma once

#include "net/ChunkedBody.h"
#include "net/ContentDecoder.h"

#include <QByteArray>

#include <memory>

// The body of one answer as it arrives: where it ends (a length, the chunked
// coding, or the close), and the page text it carries (chunks joined,
// compression undone), within the page cap. It knows when the body is whole,
// so a kept connection can carry the next request.
class BodyReader
{
public:
    enum class Framing { Close, Length, Chunked };

    // length: for Framing::Length. cap: of the decoded text, and of the
    // bytes read for a body without chunks.
    BodyReader(Framing framing, qint64 length, ContentDecoder::Coding coding, qint64 cap);
    ~BodyReader();

    // Takes bytes that follow the head; returns how many were the body's.
    // Bytes past a length arriving with the body make it one read until the
    // close (a server that miscounts), never kept.
    qsizetype feed(const char *bytes, qsizetype size);
    qsizetype feed(const QByteArray &bytes) { return feed(bytes.constData(), bytes.size()); }

    // The body ended where its framing says (never for Framing::Close).
    bool isComplete() const { return m_complete; }
    // Cut at the cap (or as a compression bomb): nothing more is read.
    bool isCapped() const { return m_capped; }
    // Nothing more is taken: whole, cut, or a broken chunk stream.
    bool isDone() const { return m_complete || m_capped || m_broken; }
    const QByteArray &data() const { return m_decoder.data(); }
    QByteArray takeData() { return m_decoder.takeData(); }

private:
    void decode(const char *bytes, qsizetype size);

    Framing m_framing;
    qint64 m_remaining;
    qint64 m_cap;
    qint64 m_read = 0;
    ContentDecoder m_decoder;
    std::unique_ptr<ChunkedDecoder> m_chunks;
    bool m_complete = false;
    bool m_capped = false;
    bool m_broken = false;
};
