#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <unistd.h>

// The browser engine refuses to start its sandbox as root; it has to be told
// before the application object exists. Used by the window and by the page
// renderer reciplex-render.
inline void allowBrowserAsRoot()
{
    if (geteuid() != 0)
        return;
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (flags.contains("--no-sandbox"))
        return;
    if (!flags.isEmpty())
        flags += ' ';
    flags += "--no-sandbox";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}
