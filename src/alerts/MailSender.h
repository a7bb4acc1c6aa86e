#pragma once

#include "alerts/AlertSettings.h"
#include "alerts/Delivery.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// One e-mail: plain text and at most one attachment.
struct MailMessage
{
    QString from;
    QStringList to;
    QString subject;
    QString text;
    QString attachmentName;     // "" for none
    QByteArray attachment;
    QString attachmentType;     // "text/html; charset=utf-8"
};

// Sends the message through the account's SMTP server with libcurl:
// STARTTLS that must succeed, TLS from the start, or a plain connection;
// AUTH with the user and password when a user is set; certificates verified.
// Retries a failure as the policy says. Blocks the calling thread.
Delivery sendMail(const SmtpAccount &account, const MailMessage &message, const DeliveryPolicy &policy);

// An address that can go into an SMTP command and a header: one "@", no
// spaces, angle brackets or line breaks.
bool isPlainAddress(const QString &address);
// A header value: ASCII as it is, anything else as RFC 2047 encoded words;
// line breaks and other control characters are dropped.
QByteArray headerText(const QString &text);
