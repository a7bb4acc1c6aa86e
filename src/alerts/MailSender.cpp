#include "alerts/MailSender.h"

#include "alerts/CurlLibrary.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QUuid>

#include <memory>

namespace {

// Only made once the library is loaded.
struct CurlDeleter
{
    void operator()(CURL *c) const { CurlLibrary::get()->easy_cleanup(c); }
    void operator()(curl_slist *l) const { CurlLibrary::get()->slist_free_all(l); }
    void operator()(curl_mime *m) const { CurlLibrary::get()->mime_free(m); }
};
template <typename T> using CurlPtr = std::unique_ptr<T, CurlDeleter>;

void append(CurlPtr<curl_slist> &list, const QByteArray &line)
{
    curl_slist *grown = CurlLibrary::get()->slist_append(list.get(), line.constData());
    if (grown) {
        (void)list.release();
        list.reset(grown);
    }
}

// "Tue, 09 Dec 2026 03:00:00 +0100", in English whatever the locale.
QByteArray rfc5322Date(const QDateTime &now)
{
    const int offset = now.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
    return (QLocale::c().toString(now, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) + zone).toLatin1();
}

QByteArray domainOf(const QString &address)
{
    const qsizetype at = address.lastIndexOf(QLatin1Char('@'));
    return address.mid(at + 1).toLatin1();
}

// libcurl asks now and then whether to go on: not once the sender gives up.
int keepGoing(void *policy, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const DeliveryPolicy *>(policy)->isCancelled() ? 1 : 0;
}

// One try; "" when the server took the message, else what went wrong.
QString sendOnce(const SmtpAccount &account, const MailMessage &message, const DeliveryPolicy &policy)
{
    const int timeoutMs = policy.timeoutMs;
    const CurlLibrary *const lib = CurlLibrary::get(); // loaded before the first try
    CurlPtr<CURL> curl(lib->easy_init());
    if (!curl)
        return QStringLiteral("the mail library could not start");
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURL *c = curl.get();
    const QByteArray url = account.url().toUtf8();
    lib->easy_setopt(c, CURLOPT_URL, url.constData());
    lib->easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    lib->easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    lib->easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &keepGoing);
    lib->easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<DeliveryPolicy *>(&policy));
    lib->easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(timeoutMs));
    lib->easy_setopt(c, CURLOPT_TIMEOUT_MS, long(timeoutMs) * 4);
    // A server that stalls mid-message is given up after the same time.
    lib->easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    lib->easy_setopt(c, CURLOPT_LOW_SPEED_TIME, long(qMax(1, timeoutMs / 1000)));
    if (account.security == SmtpSecurity::StartTls)
        lib->easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    const QByteArray user = account.user.toUtf8();
    const QByteArray password = account.password.toUtf8();
    if (!account.user.isEmpty()) {
        lib->easy_setopt(c, CURLOPT_USERNAME, user.constData());
        lib->easy_setopt(c, CURLOPT_PASSWORD, password.constData());
    }
    const QByteArray from = '<' + message.from.toUtf8() + '>';
    lib->easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
    CurlPtr<curl_slist> recipients;
    for (const QString &to : message.to)
        append(recipients, '<' + to.toUtf8() + '>');
    lib->easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());

    CurlPtr<curl_slist> headers;
    append(headers, "Date: " + rfc5322Date(QDateTime::currentDateTime()));
    append(headers, "From: Reciplex <" + message.from.toUtf8() + '>');
    append(headers, "To: " + message.to.join(QStringLiteral(", ")).toUtf8());
    append(headers, "Subject: " + headerText(message.subject));
    append(headers, "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces) + "@"
                        + domainOf(message.from) + '>');
    append(headers, "Auto-Submitted: auto-generated");
    lib->easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

    CurlPtr<curl_mime> mime(lib->mime_init(c));
    curl_mimepart *text = lib->mime_addpart(mime.get());
    // Lines end in CR LF on the wire; a bare LF would be encoded as a character.
    QString crlf = message.text;
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    const QByteArray body = crlf.toUtf8();
    lib->mime_data(text, body.constData(), size_t(body.size()));
    lib->mime_type(text, "text/plain; charset=utf-8");
    lib->mime_encoder(text, "quoted-printable");
    if (!message.attachmentName.isEmpty()) {
        curl_mimepart *file = lib->mime_addpart(mime.get());
        lib->mime_data(file, message.attachment.constData(), size_t(message.attachment.size()));
        lib->mime_type(file, message.attachmentType.toLatin1().constData());
        lib->mime_filename(file, message.attachmentName.toUtf8().constData());
        lib->mime_encoder(file, "base64");
    }
    lib->easy_setopt(c, CURLOPT_MIMEPOST, mime.get());

    const CURLcode result = lib->easy_perform(c);
    if (result == CURLE_OK)
        return QString();
    const QString detail = QString::fromUtf8(errorBuffer).trimmed();
    return detail.isEmpty() ? QString::fromUtf8(lib->easy_strerror(result)) : detail;
}

} // namespace

bool isPlainAddress(const QString &address)
{
    static const QRegularExpression form(QStringLiteral(R"(^[^\s<>@,;"]+@[^\s<>@,;"]+$)"));
    return form.match(address).hasMatch();
}

QByteArray headerText(const QString &text)
{
    QString clean;
    for (const QChar ch : text)
        if (ch.unicode() >= 0x20 && ch.unicode() != 0x7f)
            clean += ch;
    bool ascii = true;
    for (const QChar ch : clean)
        ascii = ascii && ch.unicode() < 0x80;
    if (ascii)
        return clean.toLatin1();
    // Encoded words of at most 45 bytes of UTF-8 each (60 in base64), cut
    // between characters, folded onto lines of their own.
    QList<QByteArray> words;
    QByteArray chunk;
    for (qsizetype i = 0; i < clean.size(); ++i) {
        const qsizetype width = clean.at(i).isHighSurrogate() && i + 1 < clean.size() ? 2 : 1;
        const QByteArray bytes = clean.mid(i, width).toUtf8();
        i += width - 1;
        if (chunk.size() + bytes.size() > 45) {
            words << "=?UTF-8?B?" + chunk.toBase64() + "?=";
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty())
        words << "=?UTF-8?B?" + chunk.toBase64() + "?=";
    return words.join("\r\n ");
}

Delivery sendMail(const SmtpAccount &account, const MailMessage &message, const DeliveryPolicy &policy)
{
    Delivery delivery;
    if (account.host.isEmpty()) {
        delivery.detail = QStringLiteral("no SMTP server (host:port) is set");
        return delivery;
    }
    if (!isPlainAddress(message.from)) {
        delivery.detail = QStringLiteral("the sender \"%1\" is not an e-mail address").arg(message.from);
        return delivery;
    }
    for (const QString &to : message.to)
        if (!isPlainAddress(to)) {
            delivery.detail = QStringLiteral("\"%1\" is not an e-mail address").arg(to);
            return delivery;
        }
    QString problem;
    if (!CurlLibrary::get(&problem)) {
        delivery.detail = problem;
        return delivery;
    }
    for (int attempt = 0; attempt <= policy.retries; ++attempt) {
        if (attempt > 0 && !policy.pauseBefore(attempt))
            break;
        ++delivery.attempts;
        const QString failure = sendOnce(account, message, policy);
        if (failure.isEmpty()) {
            delivery.delivered = true;
            delivery.detail = QStringLiteral("sent to %1").arg(message.to.join(QStringLiteral(", ")));
            return delivery;
        }
        delivery.detail = failure;
    }
    return delivery;
}
