#pragma once

#include <QByteArray>

#include <memory>
#include <utility>

// The content coding of a page body (gzip or deflate, as Accept-Encoding
// offers them) undone as the body arrives, within bounds a hostile server
// cannot stretch: the decoded text stops at a cap, and a body that inflates
// more than kMaxRatio-fold once past kRatioFloor is cut there, as an
// over-long page is. A stream that breaks off or goes wrong gives what
// decoded up to that point.
class ContentDecoder
{
public:
    enum class Coding { Identity, Gzip, Deflate };
    static constexpr qint64 kRatioFloor = 1024 * 1024;
    static constexpr qint64 kMaxRatio = 100;

    // The coding a Content-Encoding value names; Identity for none, and for
    // one not asked for (or a list of several): such a body is kept as sent.
    static Coding codingOf(const QByteArray &contentEncoding);

    explicit ContentDecoder(Coding coding, qint64 cap);
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder &) = delete;
    ContentDecoder &operator=(const ContentDecoder &) = delete;

    void feed(const char *bytes, qsizetype size);
    void feed(const QByteArray &bytes) { feed(bytes.constData(), bytes.size()); }

    const QByteArray &data() const { return m_data; }
    QByteArray takeData() { return std::exchange(m_data, QByteArray()); }
    // The decoded text reached the cap, or inflated past the ratio: cut.
    bool isCapped() const { return m_capped; }
    // Nothing more is taken: cut, ended or broken.
    bool isDone() const { return m_done; }

    // A whole body decoded at once (tests, fuzzing).
    static QByteArray decode(Coding coding, const QByteArray &body, qint64 cap, bool *capped = nullptr);

private:
    void inflateSome(const char *bytes, qsizetype size);
    bool startStream(const unsigned char *first, qsizetype size);
    void append(const char *bytes, qsizetype size);

    Coding m_coding;
    qint64 m_cap;
    QByteArray m_data;
    struct Stream;
    std::unique_ptr<Stream> m_stream; // zlib's state, once the first bytes came
    qint64 m_in = 0;
    bool m_capped = false;
    bool m_done = false;
    bool m_memberEnded = false; // a gzip member ended: another may follow
};
