#pragma once

#include <QByteArray>

#include <utility>

// HTTP/1.1 chunked transfer coding: the page text is the body the server
// meant, whatever chunk boundaries cut through it.
namespace ChunkedBody {

// True when a response head (without its blank line) names the chunked
// coding in a Transfer-Encoding line (name and value in any case).
bool isChunked(const QByteArray &head);

// The data of a whole chunked body (see ChunkedDecoder).
QByteArray decode(const QByteArray &body);

} // namespace ChunkedBody

// Decodes a chunked body as it arrives, so the framing is never kept and a
// cap applies to the data the server meant, not to its chunk sizes: one-byte
// chunks cost six bytes on the wire each. Chunk extensions and trailers are
// dropped. A stream that breaks off or is malformed gives the data received
// up to that point, a partial last chunk included. Linear in the input.
class ChunkedDecoder
{
public:
    explicit ChunkedDecoder(qint64 cap = -1) : m_cap(cap) {}

    // Returns how many of the bytes belong to the body: after the last
    // chunk and its trailers, or a break, the rest is not the body's.
    qsizetype feed(const char *bytes, qsizetype size);
    qsizetype feed(const QByteArray &bytes) { return feed(bytes.constData(), bytes.size()); }

    const QByteArray &data() const { return m_data; }
    QByteArray takeData() { return std::exchange(m_data, QByteArray()); }
    // The last chunk has come, or the stream broke: nothing more is taken.
    bool isDone() const { return m_state == State::Done || m_state == State::Trailers; }
    // The body ended as the coding says: the last chunk, its trailers and
    // the blank line after them all came (a kept connection may go on).
    bool isComplete() const { return m_complete; }
    // The decoded data reached the cap.
    bool isCapped() const { return m_capped; }

private:
    enum class State { SizeLine, Data, AfterData, AfterDataCr, Trailers, Done };
    void endSizeLine();
    void append(const char *bytes, qsizetype size);

    State m_state = State::SizeLine;
    QByteArray m_line;      // the size line read so far
    qint64 m_remaining = 0; // of the current chunk
    QByteArray m_data;
    qint64 m_cap;
    qint64 m_total = 0;     // data decoded, taken or not
    bool m_capped = false;
    bool m_complete = false;
};
