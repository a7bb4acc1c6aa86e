#pragma once

#include <QAbstractSocket>
#include <QList>
#include <QString>

class QSslError;

// The errors-row text of a page whose secure connection failed, in words a
// webmaster understands: what is wrong with the certificate, or that no
// secure connection could be made at all.
namespace TlsFailure {

// The most telling of the certificate's errors, as "Certificate error: …".
QString certificateText(const QList<QSslError> &errors);

// A secure connection that failed without a certificate error.
QString connectionText(QAbstractSocket::SocketError error);

} // namespace TlsFailure
