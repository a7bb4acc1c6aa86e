#pragma once

#include <QByteArray>
#include <QDateTime>

// Reading the lines of a response head (through its blank line or not).
namespace HttpHeaders {

// The value of the first line of that name (any case), trimmed; "" when none.
QByteArray value(const QByteArray &head, const QByteArray &name);
bool has(const QByteArray &head, const QByteArray &name);

// The numeric status code of the head's first line; 0 when it has none.
int statusCode(const QByteArray &head);

// How long a Retry-After line asks to wait, in milliseconds from now: a
// number of seconds or an HTTP date (a date passed is 0). -1 without a
// readable one.
qint64 retryAfterMs(const QByteArray &head, const QDateTime &now = QDateTime::currentDateTimeUtc());
// An HTTP date (or a cookie's Expires) in UTC; invalid when it is none.
QDateTime date(const QByteArray &text);

} // namespace HttpHeaders
