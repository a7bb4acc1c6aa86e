#pragma once

#include <QString>
#include <QStringList>

// Where the alerts after a scan with changes go, as the Alerts options set it.
enum class SmtpSecurity { StartTls, Tls, None };

struct SmtpAccount
{
    QString host;
    int port = 587;
    SmtpSecurity security = SmtpSecurity::StartTls;
    QString user;
    QString password;

    // "smtp://host:587" or "smtps://host:465": where the mail goes, for
    // messages and the errors list.
    QString url() const;
};

struct AlertSettings
{
    QString webhookUrl;          // AlertWebhook
    QStringList mailTo;          // AlertMailTo: addresses separated by commas, semicolons or spaces
    QString mailFrom;            // AlertMailFrom, or what fromAddress() makes of the account
    SmtpAccount smtp;            // SmtpServer, SmtpSecurity, SmtpUser, SmtpPassword
    QString serverText;          // SmtpServer as stored; smtp.host stays empty when it is not host:port
    bool notify = true;          // AlertNotify: a desktop notification

    bool wantsWebhook() const { return !webhookUrl.isEmpty(); }
    bool wantsMail() const { return !mailTo.isEmpty(); }
    // The sender: AlertMailFrom; else the SMTP user when it is an address;
    // else "reciplex@" and this machine's name.
    QString fromAddress() const;

    // The stored choices (with --set overrides). The password is the one in
    // the settings file; SmtpPassword::fillIn() looks in the secret store.
    static AlertSettings fromSettings();
};

// "starttls" (also the default for an empty or unknown text), "tls", "none".
SmtpSecurity smtpSecurityFromText(const QString &text);
QString smtpSecurityText(SmtpSecurity security);
// The port a server without one uses: 587, 465 or 25.
int defaultSmtpPort(SmtpSecurity security);
// "host:port", "host", "[v6]:port"; a leading "smtp://" or "smtps://" is
// passed over. False, with nothing changed, for text without a host or with
// a port that is not a number from 1 to 65535.
bool parseSmtpServer(const QString &text, SmtpAccount *account);
