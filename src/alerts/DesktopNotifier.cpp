#include "alerts/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QVariantMap>

bool sessionBusExists()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

NotifyOutcome notifyDesktop(const QString &title, const QString &body)
{
    NotifyOutcome outcome;
    if (!sessionBusExists())
        return outcome;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        outcome.detail = bus.lastError().message();
        return outcome;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    call << QStringLiteral("Reciplex") << uint(0) << QStringLiteral("reciplex") << title << body << QStringList()
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("reciplex")},
                        {QStringLiteral("category"), QStringLiteral("transfer.complete")}}
         << int(-1);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        outcome.kind = NotifyOutcome::Shown;
        return outcome;
    }
    const QString error = reply.errorName();
    outcome.kind = error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
                || error == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")
        ? NotifyOutcome::NoService
        : NotifyOutcome::Failed;
    outcome.detail = reply.errorMessage().isEmpty() ? error : reply.errorMessage();
    return outcome;
}
