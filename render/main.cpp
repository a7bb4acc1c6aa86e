// reciplex-render: renders web pages off screen for the scan, one request per
// line on standard input, one answer per line on standard output (see
// src/net/RenderProtocol.h). The window and reciplex-scan start it on demand,
// so that a page's script can never take them down.
#include "HelperChannel.h"
#include "RenderService.h"

#include "net/RenderProtocol.h"
#include "ui/BrowserAsRoot.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Never on a screen: no display is needed, under cron neither.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    allowBrowserAsRoot();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("reciplex-render"));
    QApplication::setApplicationVersion(QStringLiteral(RECIPLEX_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Renders web pages off screen for Reciplex and reports their links. It reads one JSON request per\n"
        "line on standard input and writes one JSON answer per line on standard output; it ends when its\n"
        "input ends and the pages under way are answered."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption maxPages(QStringLiteral("max-pages"),
                                      QStringLiteral("Render at most N pages at once, 1 to 8 (default 2)."),
                                      QStringLiteral("N"), QString::number(RenderProtocol::kMaxPagesAtOnce));
    const QCommandLineOption pageMemory(
        QStringLiteral("page-memory"),
        QStringLiteral("End a page whose renderer uses more than N MiB of memory, 64 to 65536 (default 1024)."),
        QStringLiteral("N"), QStringLiteral("1024"));
    parser.addOption(maxPages);
    parser.addOption(pageMemory);
    parser.process(app);

    bool ok = false;
    const int pages = parser.value(maxPages).toInt(&ok);
    if (!ok || pages < 1 || pages > 8) {
        std::fprintf(stderr, "reciplex-render: --max-pages must be a number from 1 to 8\n");
        return 2;
    }
    const int memoryMiB = parser.value(pageMemory).toInt(&ok);
    if (!ok || memoryMiB < 64 || memoryMiB > 65536) {
        std::fprintf(stderr, "reciplex-render: --page-memory must be a number from 64 to 65536\n");
        return 2;
    }

    HelperChannel channel;
    RenderService service(&channel, pages, qint64(memoryMiB) << 20);
    channel.send(RenderProtocol::hello(QStringLiteral(RECIPLEX_VERSION), pages));
    return app.exec();
}
