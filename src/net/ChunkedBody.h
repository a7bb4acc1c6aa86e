#pragma once

#include <QByteArray>

// HTTP/1.1 chunked transfer coding: the page text is the body the server
// meant, whatever chunk boundaries cut through it.
namespace ChunkedBody {

// True when a response head (without its blank line) names the chunked
// coding in a Transfer-Encoding line (name and value in any case).
bool isChunked(const QByteArray &head);

// The data of a chunked body. Chunk extensions and trailers are dropped. A
// stream that breaks off or is malformed gives the data received up to that
// point, a partial last chunk included. Linear in the size of the body.
QByteArray decode(const QByteArray &body);

} // namespace ChunkedBody
