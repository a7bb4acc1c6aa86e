#include "ui/Artwork.h"
#include "ui/Identity.h"
#include "ui/MainWindow.h"
#include "ui/SoundPlayer.h"
#include "ui/SplashWindow.h"

#include <QApplication>

#include <unistd.h>

// The browser engine refuses to start its sandbox as root; it has to be told
// before the application object exists.
static void allowBrowserAsRoot()
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

int main(int argc, char *argv[])
{
    allowBrowserAsRoot();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Reciplex"));
    QApplication::setApplicationVersion(Identity::versionText());
    // Lets the desktop match the windows to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("reciplex"));
    QApplication::setWindowIcon(Artwork::applicationIcon());
    installSoundPlayer(&app);

    MainWindow window;
    SplashWindow splash([&window] {
        window.startUp();
        window.show();
    });
    window.setSplash(&splash);
    splash.start();
    return app.exec();
}
