// The chunked-body decoder on any bytes: no crash, no endless loop, and the
// data it gives is never longer than the body it was given. The first line
// is also read as a response head.
#include "net/ChunkedBody.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray decoded = ChunkedBody::decode(body);
    if (decoded.size() > body.size())
        std::abort();
    const qsizetype nl = body.indexOf('\n');
    ChunkedBody::isChunked(nl >= 0 ? body.left(nl) : body);
    return 0;
}
