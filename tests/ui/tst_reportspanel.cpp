#include "UiTestMain.h"

#include "model/Project.h"
#include "outputs/widgets/ReportsPanel.h"
#include "support/TestEnv.h"
#include "ui/BrowserView.h"
#include "ui/DialogService.h"

#include <QDir>
#include <QFile>
#include <QPushButton>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList messages()
{
    QStringList out;
    for (const auto &a : DialogService::instance().asked())
        if (a.kind == QLatin1String("message"))
            out << a.text;
    return out;
}

} // namespace

class TestReportsPanel : public QObject
{
    Q_OBJECT

    TestEnv m_env;
    Project m_project;
    qint64 m_pages = 40;
    ReportsPanel *m_panel = nullptr;
    QString m_out; // a folder for the user's saved files

private slots:
    void initTestCase()
    {
        m_out = m_env.programFolder() + QStringLiteral("/../saved");
        QDir().mkpath(m_out);
        const int m = m_project.addMainSite(QStringLiteral("main.example"));
        m_project.addLinkingSite(m, QStringLiteral("partner.example"));
        m_project.appendResult(LinkResult{2, "main.example", "partner.example", "Direct Link", "001",
                                          "partner.example/links.htm", RowColour::Blue});
        m_project.appendResult(LinkResult{1, "main.example", "other.example", "None Found (Timeout)", "000",
                                          "other.example", RowColour::Red});
    }

    void init()
    {
        DialogService::instance().setAnswering(true);
        m_panel = new ReportsPanel(m_project, DialogService::instance(), [this] { return m_pages; });
        m_panel->resize(800, 500);
        m_panel->show();
    }

    void cleanup()
    {
        delete m_panel;
        m_panel = nullptr;
    }

    void startsBlankWithItsTwoButtons()
    {
        QCOMPARE(m_panel->requestedUrl(), QStringLiteral("about:blank"));
        QCOMPARE(m_panel->saveReportButton()->objectName(), QStringLiteral("Command8"));
        QCOMPARE(m_panel->saveReportButton()->text(), QStringLiteral("Save Report As"));
        QCOMPARE(m_panel->saveTabButton()->objectName(), QStringLiteral("Command8a"));
        QCOMPARE(m_panel->saveTabButton()->text(), QStringLiteral("Save Tab Delimited"));
        // Drawn in front of the browser, inside the panel.
        QVERIFY(m_panel->rect().contains(m_panel->saveTabButton()->geometry()));
        QVERIFY(!m_panel->saveReportButton()->geometry().intersects(m_panel->saveTabButton()->geometry()));
        const QObjectList kids = m_panel->children();
        QVERIFY(kids.indexOf(m_panel->saveTabButton()) > kids.indexOf(static_cast<QObject *>(m_panel->browser())));

        // However narrow the tab, the buttons never cover the report's heading.
        for (int width : {800, 420, 300}) {
            m_panel->resize(width, 500);
            for (const QPushButton *b : {m_panel->saveReportButton(), m_panel->saveTabButton()}) {
                QVERIFY2(!b->geometry().intersects(m_panel->browser()->geometry()), qPrintable(QString::number(width)));
                QVERIFY(b->geometry().left() >= 0);
            }
        }
    }

    void rebuildWritesTheReportAndShowsIt()
    {
        QVERIFY(m_panel->rebuildReport());
        const QString path = m_env.path(QStringLiteral("tempreport.html"));
        QCOMPARE(m_panel->requestedUrl(), QUrl::fromLocalFile(path).toString());
        QTRY_COMPARE_WITH_TIMEOUT(m_panel->browser()->locationUrl(), QUrl::fromLocalFile(path).toString(), 10000);
        const QByteArray html = readAll(path);
        QVERIFY(html.startsWith("<html>\r\n<head>\r\n<title>Reciprocal Link Report</title>\r\n"));
        QVERIFY(html.contains("<tr><td>Total Pages Scanned:</td><td> 40</td></tr>\r\n"));
        QVERIFY(html.contains("<tr><td>Total Non-Linking Sites:</td><td> 1</td></tr>\r\n"));
        QVERIFY(html.endsWith("\r\n"));

        // A later rebuild sees the project as it is then.
        m_pages = 7;
        QVERIFY(m_panel->rebuildReport());
        QVERIFY(readAll(path).contains("<td>Total Pages Scanned:</td><td> 7</td>"));
        QCOMPARE(m_panel->requestedUrl(), QUrl::fromLocalFile(path).toString());
        m_pages = 40;
    }

    void aReportThatCannotBeWrittenLeavesTheLastOneShown()
    {
        const QString path = m_env.path(QStringLiteral("tempreport.html"));
        QFile::remove(path);
        QVERIFY(QDir().mkpath(path)); // a folder in the file's place
        QVERIFY(!m_panel->rebuildReport());
        QCOMPARE(m_panel->requestedUrl(), QStringLiteral("about:blank"));
        QVERIFY(messages().isEmpty());
        QVERIFY(QDir().rmdir(path));
    }

    void saveReportAsCopiesTheReportAndAddsTheExtension()
    {
        QVERIFY(m_panel->rebuildReport());
        const QByteArray report = readAll(m_env.path(QStringLiteral("tempreport.html")));

        DialogService::instance().queuePath(m_out + QStringLiteral("/links"));
        m_panel->saveReportButton()->click();
        QCOMPARE(readAll(m_out + QStringLiteral("/links.htm")), report);
        const auto &asked = DialogService::instance().asked();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).kind, QStringLiteral("save"));
        QCOMPARE(asked.at(0).text, QStringLiteral("HTML Files (*.htm *.html)"));
        QCOMPARE(asked.at(0).proposed, QString());

        // The longer name exists, but the question tests the name as chosen.
        DialogService::instance().clearAsked();
        write(m_out + QStringLiteral("/links.htm"), "old");
        DialogService::instance().queuePath(m_out + QStringLiteral("/links"));
        m_panel->saveReportAs();
        QVERIFY(messages().isEmpty());
        QCOMPARE(readAll(m_out + QStringLiteral("/links.htm")), report);

        // A cancelled dialog writes nothing.
        DialogService::instance().clearAsked();
        m_panel->saveReportAs();
        QVERIFY(messages().isEmpty());
    }

    void overwriteQuestionGuardsAnExistingFile()
    {
        QVERIFY(m_panel->rebuildReport());
        const QString target = m_out + QStringLiteral("/report.html");
        write(target, "keep me");
        DialogService::instance().queuePath(target);
        DialogService::instance().queueAnswer(DialogService::Answer::Cancel);
        m_panel->saveReportAs();
        QCOMPARE(messages(), QStringList({"File already exists.  Are you sure you want to overwrite it?"}));
        QCOMPARE(readAll(target), QByteArray("keep me"));

        DialogService::instance().clearAsked();
        DialogService::instance().queuePath(target);
        DialogService::instance().queueAnswer(DialogService::Answer::Ok);
        m_panel->saveReportAs();
        QCOMPARE(messages().size(), 1);
        QCOMPARE(readAll(target), readAll(m_env.path(QStringLiteral("tempreport.html"))));
    }

    void saveTabDelimitedWritesTheResults()
    {
        DialogService::instance().queuePath(m_out + QStringLiteral("/results"));
        m_panel->saveTabButton()->click();
        QCOMPARE(DialogService::instance().asked().at(0).text, QStringLiteral("TAB Files (*.tab)"));
        QCOMPARE(readAll(m_out + QStringLiteral("/results.tab")),
                 QByteArray("Main\tRemote\tStatus\tNo.\tURL\r\n\r\n"
                            "main.example\tpartner.example\tDirect Link\t001\tpartner.example/links.htm\r\n"
                            "main.example\tother.example\tNone Found (Timeout)\t000\tother.example\r\n\r\n"));

        DialogService::instance().clearAsked();
        write(m_out + QStringLiteral("/Results.TAB"), "keep");
        DialogService::instance().queuePath(m_out + QStringLiteral("/Results.TAB"));
        DialogService::instance().queueAnswer(DialogService::Answer::Cancel);
        m_panel->saveTabDelimited();
        QCOMPARE(messages(), QStringList({"File already exists.  Are you sure you want to overwrite it?"}));
        QCOMPARE(readAll(m_out + QStringLiteral("/Results.TAB")), QByteArray("keep"));
    }

    void aFileThatCannotBeWrittenShowsTheError()
    {
        DialogService::instance().queuePath(m_out + QStringLiteral("/no such folder/results.tab"));
        m_panel->saveTabDelimited();
        const QStringList shown = messages();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.at(0).startsWith(QStringLiteral("Error: ")), qPrintable(shown.at(0)));
        QVERIFY(shown.at(0).contains(QStringLiteral(" - ")));
    }
};

RECIPLEX_UI_TEST_MAIN(TestReportsPanel)
#include "tst_reportspanel.moc"
