#include "alerts/AlertSettings.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QRegularExpression>
#include <QSysInfo>

SmtpSecurity smtpSecurityFromText(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("tls"))
        return SmtpSecurity::Tls;
    if (t == QLatin1String("none"))
        return SmtpSecurity::None;
    return SmtpSecurity::StartTls;
}

QString smtpSecurityText(SmtpSecurity security)
{
    switch (security) {
    case SmtpSecurity::Tls:
        return QStringLiteral("tls");
    case SmtpSecurity::None:
        return QStringLiteral("none");
    case SmtpSecurity::StartTls:
        break;
    }
    return QStringLiteral("starttls");
}

int defaultSmtpPort(SmtpSecurity security)
{
    switch (security) {
    case SmtpSecurity::Tls:
        return 465;
    case SmtpSecurity::None:
        return 25;
    case SmtpSecurity::StartTls:
        break;
    }
    return 587;
}

bool parseSmtpServer(const QString &text, SmtpAccount *account)
{
    QString t = text.trimmed();
    for (const char *scheme : {"smtp://", "smtps://"})
        if (t.startsWith(QLatin1String(scheme), Qt::CaseInsensitive))
            t = t.mid(int(qstrlen(scheme)));
    if (t.endsWith(QLatin1Char('/')))
        t.chop(1);
    static const QRegularExpression form(QStringLiteral(R"(^(\[[0-9A-Fa-f:.]+\]|[^\s:/\[\]]+)(?::(\d{1,5}))?$)"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch())
        return false;
    int port = defaultSmtpPort(account->security);
    if (!m.captured(2).isEmpty()) {
        port = m.captured(2).toInt();
        if (port < 1 || port > 65535)
            return false;
    }
    account->host = m.captured(1);
    account->port = port;
    return true;
}

QString SmtpAccount::url() const
{
    return (security == SmtpSecurity::Tls ? QStringLiteral("smtps://") : QStringLiteral("smtp://")) + host
         + QLatin1Char(':') + QString::number(port);
}

QString AlertSettings::fromAddress() const
{
    if (!mailFrom.isEmpty())
        return mailFrom;
    if (smtp.user.contains(QLatin1Char('@')))
        return smtp.user;
    QString machine = QSysInfo::machineHostName();
    if (machine.isEmpty())
        machine = QStringLiteral("localhost");
    return QStringLiteral("reciplex@") + machine;
}

AlertSettings AlertSettings::fromSettings()
{
    const SettingsStore &store = SettingsStore::instance();
    AlertSettings s;
    s.webhookUrl = store.read(Keys::AlertWebhook, QString()).trimmed();
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    s.mailTo = store.read(Keys::AlertMailTo, QString()).split(separators, Qt::SkipEmptyParts);
    s.mailFrom = store.read(Keys::AlertMailFrom, QString()).trimmed();
    s.smtp.security = smtpSecurityFromText(store.read(Keys::SmtpSecurity, QStringLiteral("starttls")));
    s.serverText = store.read(Keys::SmtpServer, QString()).trimmed();
    parseSmtpServer(s.serverText, &s.smtp);
    s.smtp.user = store.read(Keys::SmtpUser, QString());
    s.smtp.password = store.read(Keys::SmtpPassword, QString());
    s.notify = store.readFlag(Keys::AlertNotify, true);
    return s;
}
