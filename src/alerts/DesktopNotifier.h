#pragma once

#include <QString>

// A desktop notification through the freedesktop notification service on the
// session bus.
struct NotifyOutcome
{
    enum Kind {
        Shown,      // the service took it
        NoBus,      // no session bus: a scan from cron, a machine without a desktop
        NoService,  // a bus, but nothing that shows notifications on it
        Failed,     // the service answered with an error
    };
    Kind kind = NoBus;
    QString detail;
};

// Whether this process can reach a session bus at all, without starting one:
// DBUS_SESSION_BUS_ADDRESS, or the bus socket in XDG_RUNTIME_DIR.
bool sessionBusExists();

// Sends the notification (application "Reciplex", its icon, the default
// time-out). Blocks for at most a few seconds.
NotifyOutcome notifyDesktop(const QString &title, const QString &body);
