#include "net/TlsFailure.h"

#include <QSslError>

namespace TlsFailure {

namespace {

struct Words
{
    QSslError::SslError error;
    const char *text;
};

// In order of what the user most needs to know: a certificate for another
// host is the answer even when it is self-signed as well.
const Words kWords[] = {
    {QSslError::HostNameMismatch, "the certificate is for another host"},
    {QSslError::CertificateExpired, "the certificate has expired"},
    {QSslError::CertificateNotYetValid, "the certificate is not valid yet"},
    {QSslError::CertificateRevoked, "the certificate has been revoked"},
    {QSslError::CertificateBlacklisted, "the certificate is on the list of certificates not to trust"},
    {QSslError::SelfSignedCertificate, "the certificate is self-signed, not issued by a trusted authority"},
    {QSslError::SelfSignedCertificateInChain, "the certificate is not issued by a trusted authority"},
    {QSslError::UnableToGetLocalIssuerCertificate, "the certificate is not issued by a trusted authority"},
    {QSslError::UnableToGetIssuerCertificate, "the certificate is not issued by a trusted authority"},
    {QSslError::UnableToVerifyFirstCertificate, "the certificate is not issued by a trusted authority"},
    {QSslError::CertificateUntrusted, "the certificate is not issued by a trusted authority"},
    {QSslError::CertificateRejected, "the certificate is not issued by a trusted authority"},
    {QSslError::InvalidCaCertificate, "the certificate is not issued by a trusted authority"},
    {QSslError::CertificateSignatureFailed, "the certificate's signature is not valid"},
    {QSslError::NoPeerCertificate, "the server sent no certificate"},
};

} // namespace

QString certificateText(const QList<QSslError> &errors)
{
    const QString prefix = QStringLiteral("Certificate error: ");
    for (const Words &w : kWords) {
        for (const QSslError &e : errors) {
            if (e.error() == w.error)
                return prefix + QLatin1String(w.text);
        }
    }
    if (errors.isEmpty())
        return prefix + QStringLiteral("the certificate was not accepted");
    QString detail = errors.first().errorString();
    if (!detail.isEmpty())
        detail[0] = detail.at(0).toLower();
    return prefix + detail;
}

QString connectionText(QAbstractSocket::SocketError error)
{
    const QString prefix = QStringLiteral("Secure connection failed: ");
    switch (error) {
    case QAbstractSocket::SslInternalError:
        return prefix + QStringLiteral("secure connections are not available on this computer");
    default:
        return prefix + QStringLiteral("the server did not set up a secure connection");
    }
}

} // namespace TlsFailure
