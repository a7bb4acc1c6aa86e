#pragma once

#include <QString>

// The HTTP status codes a scan records as page errors, with the texts shown
// for them. Codes outside the table (301, 302, 304, 204 …) are pages like any other.
namespace HttpStatus {

// The status code of a response head: the text between the head's first and
// second space, trimmed; "" when the head does not have two spaces.
QString statusCode(const QString &head);

// The error text of a code ("404" -> "404 Not found"), "" when it is not an
// error the scan records.
QString errorText(const QString &code);

// Both together: the error text for a response head, "" when there is none.
QString errorForHead(const QString &head);

} // namespace HttpStatus
