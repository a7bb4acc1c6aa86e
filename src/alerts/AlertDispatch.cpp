#include "alerts/AlertDispatch.h"

#include "alerts/DesktopNotifier.h"
#include "alerts/MailSender.h"
#include "alerts/SmtpPassword.h"
#include "alerts/WebhookSender.h"

#include <QFileInfo>

namespace {

QString tries(int attempts)
{
    return attempts == 1 ? QStringLiteral("1 try") : QStringLiteral("%1 tries").arg(attempts);
}

MailMessage mailOf(const RunAlert &alert, const AlertSettings &settings)
{
    MailMessage m;
    m.from = settings.fromAddress();
    m.to = settings.mailTo;
    m.subject = AlertMessage::subject(alert);
    m.text = AlertMessage::mailText(alert);
    if (!alert.reportHtml.isEmpty()) {
        const QString base = QFileInfo(alert.projectPath).completeBaseName();
        m.attachmentName = (base.isEmpty() ? QStringLiteral("scan") : base) + QStringLiteral("-report.htm");
        m.attachment = alert.reportHtml.toUtf8();
        m.attachmentType = QStringLiteral("text/html; charset=utf-8");
    }
    return m;
}

void sent(AlertOutcome &out, const QString &line)
{
    out.sent << line;
    out.report << line;
}

void failed(AlertOutcome &out, const ErrorEntry &error)
{
    out.errors << error;
    out.report << error.error;
}

} // namespace

AlertOutcome sendAlert(const RunAlert &alert, AlertSettings settings, const DeliveryPolicy &policy,
                       const AlertChannels &channels)
{
    AlertOutcome out;
    const bool webhook = channels.webhook && settings.wantsWebhook();
    const bool mail = channels.mail && settings.wantsMail();
    const bool notification = channels.notification && settings.notify;
    out.nothingToSend = !webhook && !mail && !notification;

    if (webhook) {
        const Delivery d = postWebhook(settings.webhookUrl, AlertMessage::webhookJson(alert), policy);
        if (d.delivered)
            sent(out, QStringLiteral("Webhook: %1").arg(d.detail));
        else if (d.attempts == 0)
            failed(out, {QStringLiteral("Alert webhook not sent: %1").arg(d.detail), settings.webhookUrl});
        else
            failed(out, {QStringLiteral("Alert webhook failed after %1: %2").arg(tries(d.attempts), d.detail),
                               settings.webhookUrl});
    }
    if (mail) {
        QString error;
        if (!SmtpPassword::fillIn(&settings, &error)) {
            failed(out, {QStringLiteral("Alert e-mail not sent: the SMTP password could not be read from the "
                                              "secret store: %1").arg(error),
                               settings.smtp.url()});
        } else {
            const Delivery d = sendMail(settings.smtp, mailOf(alert, settings), policy);
            const QString where = settings.smtp.host.isEmpty() ? settings.serverText : settings.smtp.url();
            if (d.delivered)
                sent(out, QStringLiteral("E-mail: %1").arg(d.detail));
            else if (d.attempts == 0)
                failed(out, {QStringLiteral("Alert e-mail not sent: %1").arg(d.detail), where});
            else
                failed(out, {QStringLiteral("Alert e-mail failed after %1: %2").arg(tries(d.attempts), d.detail),
                                   where});
        }
    }
    if (notification) {
        const NotifyOutcome n = notifyDesktop(AlertMessage::notificationTitle(alert), AlertMessage::notificationBody(alert));
        // Without a bus or a notification service there is nobody to show it
        // to (a scan from cron, a server): that is no error.
        if (n.kind == NotifyOutcome::Shown)
            sent(out, QStringLiteral("Desktop notification: shown"));
        else if (n.kind == NotifyOutcome::Failed)
            failed(out, {QStringLiteral("Alert desktop notification failed: %1").arg(n.detail),
                               QStringLiteral("org.freedesktop.Notifications")});
        else
            sent(out, QStringLiteral("Desktop notification: no notification service on this desktop"));
    }
    return out;
}
