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

    void feed(const char *bytes, qsizetype size);
    void feed(const QByteArray &bytes) { feed(bytes.constData(), bytes.size()); }

    const QByteArray &data() const { return m_data; }
    QByteArray takeData() { return std::exchange(m_data, QByteArray()); }
    // The last chunk has come, or the stream broke: nothing more is taken.
    bool isDone() const { return m_state == State::Done; }
    // The decoded data reached the cap.
    bool isCapped() const { return m_capped; }

private:
    enum class State { SizeLine, Data, AfterData, AfterDataCr, Done };
    void endSizeLine();
    void append(const char *bytes, qsizetype size);

    State m_state = State::SizeLine;
    QByteArray m_line;      // the size line read so far
    qint64 m_remaining = 0; // of the current chunk
    QByteArray m_data;
    qint64 m_cap;
    bool m_capped = false;
};
