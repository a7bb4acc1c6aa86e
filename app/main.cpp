#include "ui/Artwork.h"
#include "ui/BrowserAsRoot.h"
#include "ui/Identity.h"
#include "ui/MainWindow.h"
#include "ui/SoundPlayer.h"
#include "ui/SplashWindow.h"

#include <QApplication>

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
