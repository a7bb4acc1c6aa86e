// Importing sites into the shown main window, as the user does it: a file of
// Linking Sites, a file of Main Sites, "Add Selected Links to My Link List" of
// every row onto a Main Site that already has as many, and "Get Links" in
// Advanced mode from a script on loopback that lists as many sites. Each
// figure runs from the click to the window painted with the new rows.
// Usage: bench_import [ROWS] (default 10,000).
#include "import/widgets/ImportWindow.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsStore.h"
#include "ui/BrowserView.h"
#include "ui/DialogService.h"
#include "ui/MainWindow.h"
#include "ui/WebsitesPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <cstdlib>

namespace {

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// The window lays itself out and paints, as the event loop would.
void settle(QWidget *window)
{
    QApplication::processEvents();
    window->repaint();
    QApplication::processEvents();
}

bool writeLines(const QString &path, const QString &pattern, int rows)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    for (int i = 0; i < rows; ++i)
        bytes += pattern.arg(i).toLatin1() + "\r\n";
    return f.write(bytes) == bytes.size();
}

// A closed import window is gone before the next one opens.
void closeImport(ImportWindow *import)
{
    import->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The file import of one import window, answered with the path.
double importFile(MainWindow &w, ImportWindow::Kind kind, const QString &path)
{
    ImportWindow *import = ImportWindow::showWindow(kind, w.project(), DialogService::instance());
    settle(import);
    DialogService::instance().queuePath(path);
    QElapsedTimer t;
    t.start();
    import->findChild<QPushButton *>(QStringLiteral("Command4"))->click();
    settle(&w);
    const double took = ms(t);
    closeImport(import);
    return took;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir dir;
    SettingsStore::useLocation(dir.filePath(QStringLiteral("settings")));
    ProgramFolder::setPath(dir.path());
    SettingsStore::instance().write(QStringLiteral("showHelp"), QStringLiteral("0"));
    BrowserView::setUseStandIn(true);
    DialogService::instance().setAnswering(true);

    const QString linkingFile = dir.filePath(QStringLiteral("linking.txt"));
    const QString mainFile = dir.filePath(QStringLiteral("main.txt"));
    if (!writeLines(linkingFile, QStringLiteral("partner%1.example/links/|2"), rows)
        || !writeLines(mainFile, QStringLiteral("http://www.main%1.example/"), rows))
        return 1;

    MainWindow w;
    w.setQuitHandler([] {});
    w.resize(1280, 1000);
    w.show();
    settle(&w);
    w.project().addMainSite(QStringLiteral("mine.example"));
    w.websites()->selectMainSite(0);
    settle(&w);

    auto *linkingList = w.findChild<QTreeWidget *>(QStringLiteral("List1"));
    auto *mainList = w.findChild<QListWidget *>(QStringLiteral("List4"));

    const double linking = importFile(w, ImportWindow::Kind::LinkingSites, linkingFile);
    std::printf("import %d Linking Sites from a file: %.1f ms (%d rows shown)\n", rows, linking,
                linkingList->topLevelItemCount());

    const double mains = importFile(w, ImportWindow::Kind::MainSites, mainFile);
    std::printf("import %d Main Sites from a file: %.1f ms (%d rows shown)\n", rows, mains, mainList->count());

    // "Add Selected Links to My Link List" of every row of the list.
    ImportWindow *import =
        ImportWindow::showWindow(ImportWindow::Kind::LinkingSites, w.project(), DialogService::instance());
    auto *candidates = import->findChild<QTreeWidget *>(QStringLiteral("ListView1"));
    QList<QTreeWidgetItem *> items;
    for (int i = 0; i < rows; ++i)
        items.append(new QTreeWidgetItem({QStringLiteral("selected%1.example").arg(i)}));
    candidates->addTopLevelItems(items);
    candidates->selectAll();
    settle(import);
    QElapsedTimer t;
    t.start();
    import->findChild<QPushButton *>(QStringLiteral("cmdAdd"))->click();
    settle(&w);
    std::printf("add %d selected links onto %d: %.1f ms (%d rows shown)\n", rows, rows, ms(t),
                linkingList->topLevelItemCount());
    closeImport(import);

    // "Get Links" in Advanced mode: a script's list of anchors separated by "|".
    QByteArray list = "<html><body><pre>\r\n";
    for (int i = 0; i < rows; ++i)
        list += QStringLiteral("<a href=\"http://listed%1.example/\">listed%1.example</a>|\r\n").arg(i).toLatin1();
    list += "</pre></body></html>\r\n";
    QTcpServer script;
    if (!script.listen(QHostAddress::LocalHost))
        return 1;
    QObject::connect(&script, &QTcpServer::newConnection, &script, [&] {
        QTcpSocket *s = script.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s, &list] {
            s->readAll();
            s->write("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(list.size()) + "\r\n\r\n" + list);
            s->disconnectFromHost();
        });
        QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
    });
    import = ImportWindow::showWindow(ImportWindow::Kind::LinkingSites, w.project(), DialogService::instance());
    import->findChild<QRadioButton *>(QStringLiteral("Option1_1"))->click();
    import->findChild<QLineEdit *>(QStringLiteral("Text2"))
        ->setText(QStringLiteral("http://127.0.0.1:%1/list").arg(script.serverPort()));
    auto *delimiter = import->findChild<QComboBox *>(QStringLiteral("Combo1"));
    delimiter->setCurrentIndex(0); // "Vertical Bar Symbol"
    emit delimiter->activated(0);
    candidates = import->findChild<QTreeWidget *>(QStringLiteral("ListView1"));
    settle(import);
    t.restart();
    import->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    settle(import);
    std::printf("get links of a list of %d sites (%.1f KiB): %.1f ms (%d rows listed)\n", rows, list.size() / 1024.0,
                ms(t), candidates->topLevelItemCount());
    const bool listed = candidates->topLevelItemCount() == rows + 1;
    closeImport(import);

    const bool complete = listed && linkingList->topLevelItemCount() == 2 * rows && mainList->count() == rows + 1;
    std::printf("every row shown: %s\n", complete ? "yes" : "NO");
    return complete ? 0 : 1;
}
