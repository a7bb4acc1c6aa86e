#include "alerts/widgets/AlertsPage.h"
#include "schedule/widgets/ScheduleDialog.h"
#include "settings/FileTypes.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/widgets/OptionsDialog.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"
#include "ui/DialogService.h"
#include "UiFind.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>

// The Scanning Options window: what loading writes, the change rules, the
// page limit pushed at once and the page-type list in filetypes.txt.
class TestOptions : public QObject
{
    Q_OBJECT

    static QString stored(const QString &key) { return SettingsStore::instance().read(key, "absent"); }

private slots:
    void init() { DialogService::instance().setAnswering(true); }
    void cleanup()
    {
        if (OptionsDialog::openWindow())
            OptionsDialog::openWindow()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void freshStoreLoadWritesTheDefaultsOn()
    {
        TestEnv env;
        OptionsDialog *d = OptionsDialog::open();
        QCOMPARE(d->windowTitle(), QString("Scanning Options"));
        for (const char *key : {"chkAuto2", "chkAuto", "chkRedirect", "chkAudioEmail", "chkAudioNext",
                                "chkAudioFinished", "chkUpdate", "chkFileTypes", "chkLinkNotes", "chkAnchorText",
                                "RenderJavaScript"}) {
            QVERIFY2(need<QCheckBox>(d, key)->isChecked(), key);
            QCOMPARE(stored(QLatin1String(key)), QString("1"));
        }
        QVERIFY(!need<QCheckBox>(d, "chkLog")->isChecked());
        QCOMPARE(stored(Keys::chkLog), QString("absent"));
        QCOMPARE(stored(Keys::txtTimeout), QString("absent"));
        QVERIFY(!need<QCheckBox>(d, "IgnoreCertificateErrors")->isChecked());
        QCOMPARE(stored(Keys::IgnoreCertificateErrors), QString("absent"));
        QVERIFY(!need<QCheckBox>(d, "ProofShots")->isChecked());
        QCOMPARE(stored(Keys::ProofShots), QString("absent"));
        QCOMPARE(need<QSpinBox>(d, "RenderTimeout")->value(), 15);
        QCOMPARE(stored(Keys::RenderTimeout), QString("absent"));
        // The default user agent shows, but only an edit stores one.
        QCOMPARE(need<QLineEdit>(d, "UserAgent")->text(), QString("Mozilla/5.0 (compatible; Reciplex/3.0)"));
        QCOMPARE(stored(Keys::UserAgent), QString("absent"));
        QCOMPARE(need<QLineEdit>(d, "txtTimeout")->text(), QString("60"));
        QCOMPARE(need<QComboBox>(d, "cmbAdvance")->currentText(), QString("500"));
        QCOMPARE(stored(Keys::cmbAdvance), QString("4"));
        // One window at a time.
        QCOMPARE(OptionsDialog::open(), d);
    }

    void storedValuesLoadAndChangesWriteAtOnce()
    {
        TestEnv env;
        SettingsStore::instance().write("CHKLOG", "1");
        SettingsStore::instance().write(Keys::chkAuto, "0");
        SettingsStore::instance().write(Keys::txtTimeout, "15");
        SettingsStore::instance().write(Keys::cmbAdvance, "7");
        SettingsStore::instance().write(Keys::RenderTimeout, "40");
        SettingsStore::instance().write(Keys::RenderJavaScript, "0");
        OptionsDialog *d = OptionsDialog::open();
        QCOMPARE(need<QSpinBox>(d, "RenderTimeout")->value(), 40);
        QVERIFY(!need<QCheckBox>(d, "RenderJavaScript")->isChecked());
        need<QSpinBox>(d, "RenderTimeout")->setValue(5);
        QCOMPARE(stored(Keys::RenderTimeout), QString("5"));
        need<QCheckBox>(d, "ProofShots")->click();
        QCOMPARE(stored(Keys::ProofShots), QString("1"));
        QVERIFY(need<QCheckBox>(d, "chkLog")->isChecked());
        QVERIFY(!need<QCheckBox>(d, "chkAuto")->isChecked());
        QCOMPARE(need<QLineEdit>(d, "txtTimeout")->text(), QString("15"));
        QCOMPARE(need<QComboBox>(d, "cmbAdvance")->currentText(), QString("10,000"));

        need<QCheckBox>(d, "chkRedirect")->click();
        QCOMPARE(stored(Keys::chkRedirect), QString("0"));
        need<QCheckBox>(d, "IgnoreCertificateErrors")->click();
        QCOMPARE(stored(Keys::IgnoreCertificateErrors), QString("1"));
        auto *agent = need<QLineEdit>(d, "UserAgent");
        agent->selectAll();
        QTest::keyClick(agent, Qt::Key_Delete);
        QCOMPARE(stored(Keys::UserAgent), QString("")); // empty: no user agent is sent
        QTest::keyClicks(agent, "Bot/1");
        QCOMPARE(stored(Keys::UserAgent), QString("Bot/1"));
        auto *proxy = need<QLineEdit>(d, "Proxy");
        QTest::keyClicks(proxy, "socks5://127.0.0.1:1080");
        QCOMPARE(stored(Keys::Proxy), QString("socks5://127.0.0.1:1080"));
        proxy->selectAll();
        QTest::keyClick(proxy, Qt::Key_Delete);
        QCOMPARE(stored(Keys::Proxy), QString("system")); // empty: the environment's proxy

        QSignalSpy limit(d, &OptionsDialog::pageLimitChanged);
        need<QComboBox>(d, "cmbAdvance")->setCurrentIndex(0);
        QCOMPARE(stored(Keys::cmbAdvance), QString("0"));
        QCOMPARE(limit.count(), 1);
        QCOMPARE(limit.at(0).at(0).toInt(), 1);
    }

    // A stored value that is no check-box state, index or 16-bit number shows
    // as its key's default, the way the scan reads it.
    void valuesThatDoNotConvertLoadAsTheDefaults()
    {
        TestEnv env;
        SettingsStore &store = SettingsStore::instance();
        store.write(Keys::chkLog, "2");
        store.write(Keys::chkAuto, "2");
        store.write(Keys::cmbAdvance, "99");
        store.write(Keys::txtTimeout, "abc");
        OptionsDialog *d = OptionsDialog::open();
        QVERIFY(!need<QCheckBox>(d, "chkLog")->isChecked());
        QVERIFY(need<QCheckBox>(d, "chkAuto")->isChecked());
        QCOMPARE(need<QComboBox>(d, "cmbAdvance")->currentText(), QString("500"));
        QCOMPARE(stored(Keys::cmbAdvance), QString("4"));
        QCOMPARE(need<QLineEdit>(d, "txtTimeout")->text(), QString("60"));
        QCOMPARE(stored(Keys::txtTimeout), QString("60"));
    }

    void timeoutChangeRules()
    {
        TestEnv env;
        OptionsDialog *d = OptionsDialog::open();
        auto *box = need<QLineEdit>(d, "txtTimeout");
        box->setText(" 30 ");
        QCOMPARE(stored(Keys::txtTimeout), QString(" 30 ")); // as typed
        box->setText("");
        QCOMPARE(stored(Keys::txtTimeout), QString(" 30 ")); // erasing stores nothing
        box->setText("abc");
        QCOMPARE(box->text(), QString("60"));
        QCOMPARE(stored(Keys::txtTimeout), QString("60"));
        box->setText("-5");
        QCOMPARE(stored(Keys::txtTimeout), QString("-5"));
        box->setText("40000"); // beyond 16 bits
        QCOMPARE(box->text(), QString("60"));
        QCOMPARE(stored(Keys::txtTimeout), QString("60"));
    }

    void fileTypeList()
    {
        TestEnv env;
        env.writeFile("filetypes.txt", ".htm\r\n\r\n \r\n  \r\n.php\r\n");
        OptionsDialog *d = OptionsDialog::open();
        auto *list = need<QListWidget>(d, "FileTypeList");
        QCOMPARE(list->count(), 3); // blank and one-space lines skipped, two spaces kept
        QCOMPARE(list->item(1)->text(), QString("  "));

        auto *entry = need<QLineEdit>(d, "txtFileType");
        auto *add = need<QPushButton>(d, "cmdAddFileType");
        auto *del = need<QPushButton>(d, "cmdDeleteFileType");
        QVERIFY(!add->isEnabled() && !del->isEnabled());
        QTest::keyClick(entry, Qt::Key_Return);
        QCOMPARE(askedMessages(), QStringList({"Please enter a file extension first."}));

        for (const char *typed : {"asp", "..cgi", "...x", ".htm"}) {
            entry->setText(QLatin1String(typed));
            QVERIFY(add->isEnabled());
            add->click();
        }
        QCOMPARE(entry->text(), QString());
        QCOMPARE(env.readFile("filetypes.txt"), QByteArray(".htm\r\n  \r\n.php\r\n.asp\r\n.cgi\r\n..x\r\n.htm\r\n"));

        del->click(); // still disabled: nothing selected
        list->setCurrentRow(1);
        QVERIFY(del->isEnabled());
        del->click();
        QCOMPARE(FileTypes::readList(), QStringList({".htm", ".php", ".asp", ".cgi", "..x", ".htm"}));
        list->clearSelection();
        QVERIFY(del->isEnabled()); // it stays enabled
        del->click();
        QCOMPARE(list->count(), 6);
        while (list->count() > 0) {
            list->setCurrentRow(0);
            del->click();
        }
        QCOMPARE(env.readFile("filetypes.txt"), QByteArray());
        QVERIFY(FileTypes::readList().isEmpty());
    }

    void globalRulesButtonAsksForTheEditor()
    {
        TestEnv env;
        OptionsDialog *d = OptionsDialog::open();
        QSignalSpy asked(d, &OptionsDialog::globalRulesEditorRequested);
        need<QPushButton>(d, "cmdGlobalRules")->click();
        QCOMPARE(asked.count(), 1);
    }

    // The Alerts page writes its keys as they are typed (LostAfterRuns
    // beside them); "Send test alert" reaches the webhook and says so.
    void alertsPageAndTestAlert()
    {
        TestEnv env;
        RecordingHttpServer webhook;
        QVERIFY(webhook.listen());
        OptionsDialog *d = OptionsDialog::open();
        d->showAlertsPage();
        QCOMPARE(d->pages()->tabText(d->pages()->currentIndex()), QString("Alerts"));
        AlertsPage *page = d->alertsPage();
        QTest::keyClicks(need<QLineEdit>(page, "AlertWebhook"), webhook.baseUrl() + "/hook");
        QTest::keyClicks(need<QLineEdit>(page, "SmtpServer"), "mail.example.test:2525");
        need<QComboBox>(page, "SmtpSecurity")->activated(2);
        need<QCheckBox>(page, "AlertNotify")->setChecked(false);
        QCOMPARE(need<QSpinBox>(page, "LostAfterRuns")->value(), 1);
        need<QSpinBox>(page, "LostAfterRuns")->setValue(3);
        QCOMPARE(stored("LostAfterRuns"), QString("3"));
        QCOMPARE(need<QSpinBox>(page, "HistoryKeepRuns")->value(), 400);
        need<QSpinBox>(page, "HistoryKeepRuns")->setValue(0);
        QCOMPARE(stored("HistoryKeepRuns"), QString("0"));
        QCOMPARE(stored("AlertWebhook"), webhook.baseUrl() + "/hook");
        QCOMPARE(stored("SmtpServer"), QString("mail.example.test:2525"));
        QCOMPARE(stored("SmtpSecurity"), QString("none"));
        QCOMPARE(stored("AlertNotify"), QString("0"));

        page->setProjectPath("/tmp/sites.prj");
        QSignalSpy done(page, &AlertsPage::testAlertFinished);
        need<QPushButton>(page, "cmdTestAlert")->click();
        QVERIFY(done.wait(20000));
        QCOMPARE(page->resultText(), QString("Webhook: HTTP 200"));
        QCOMPARE(webhook.requests().size(), 1);
        const QJsonObject payload = QJsonDocument::fromJson(webhook.requests().first().body).object();
        QCOMPARE(payload["test"].toBool(), true);
        QCOMPARE(payload["project"].toString(), QString("/tmp/sites.prj"));
    }

    // The Schedule dialog over the scheduler: a day and a time become a
    // timer; "Not scheduled" removes it.
    void scheduleDialog()
    {
        QTemporaryDir dir;
        const QString project = dir.filePath("sites.prj");
        QFile f(project);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        SchedulerTools tools;
        tools.unitFolder = dir.filePath("units");
        tools.systemctl = "/bin/true";
        tools.crontab = "/bin/false"; // never the machine's own
        ScheduleDialog dialog(project, "/usr/bin/reciplex-scan", nullptr, tools);
        QCOMPARE(dialog.nextRunText(), QString("not scheduled"));
        dialog.oftenBox()->setCurrentIndex(ScheduleDialog::Weekly);
        dialog.dayBox()->setCurrentIndex(2);
        dialog.timeBox()->setTime(QTime(4, 30));
        QCOMPARE(dialog.scheduleText(), QString("weekly Wed 04:30"));
        dialog.apply();
        QVERIFY2(dialog.statusText().startsWith("Scheduled \"weekly Wed 04:30\" for " + project + " with the systemd user timer"),
                 qPrintable(dialog.statusText()));
        QCOMPARE(QDir(tools.unitFolder).entryList(QDir::Files).size(), 2);
        QVERIFY(dialog.nextRunText() != "not scheduled");
        dialog.oftenBox()->setCurrentIndex(ScheduleDialog::NotScheduled);
        dialog.apply();
        QCOMPARE(QDir(tools.unitFolder).entryList(QDir::Files).size(), 0);
        QCOMPARE(dialog.nextRunText(), QString("not scheduled"));
    }
};

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
