// Alerts after a scan with changes, from the built reciplex-scan: a webhook
// receiver, Debian's aiosmtpd and a notification service on a private
// session bus receive one alert after a run that lost a link and none after
// a run without changes; a failed delivery is an errors row, not a failed
// scan; the SMTP password lives in a real secret store (gnome-keyring).
#include "alerts/SmtpPassword.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/NginxRunner.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The desktop's notification service, as far as a test needs it.
class NotificationReceiver : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList titles;
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &, const QStringList &,
                const QVariantMap &, int)
    {
        titles << summary;
        return uint(titles.size());
    }
};

// A process the test starts and ends: a bus, a keyring, the SMTP sink.
struct Helper
{
    QProcess process;
    ~Helper()
    {
        process.closeWriteChannel(); // the SMTP sink ends here
        if (!process.waitForFinished(1000)) {
            process.terminate();
            if (!process.waitForFinished(3000)) {
                process.kill();
                process.waitForFinished();
            }
        }
    }
    // The first line it prints.
    QByteArray firstLine()
    {
        while (!process.canReadLine() && process.waitForReadyRead(10000)) {
        }
        return process.readLine().trimmed();
    }
};

class TestAlerts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<NginxRunner> m_nginx;
    Helper m_bus;
    QString m_busAddress;
    NotificationReceiver m_notifications;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString writeProject(const QString &name)
    {
        Project p;
        const int m = p.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
        p.addLinkingSite(m, QStringLiteral("127.0.0.1/direct/"));
        const QString file = path(name);
        if (!ProjectFile::write(p, file))
            qFatal("cannot write the project");
        return file;
    }

    // Starts aiosmtpd; its messages go to `folder`. Returns the port, 0 on failure.
    int startSmtp(Helper &smtp, const QString &folder, const QStringList &credentials = {})
    {
        QDir().mkpath(folder);
        smtp.process.start(QStringLiteral("/usr/bin/python3"),
                           QStringList{QStringLiteral(RECIPLEX_TEST_SUPPORT "/smtp_sink.py"), folder} + credentials);
        const QByteArray line = smtp.firstLine();
        return line.startsWith("PORT ") ? line.mid(5).toInt() : 0;
    }

    QStringList mails(const QString &folder) const
    {
        return QDir(folder).entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
    }

    // Runs the scanner while this thread serves the webhook and the bus.
    int scan(const QStringList &args, const QProcessEnvironment &env, QString *stdErr = nullptr)
    {
        QProcess process;
        process.setProcessEnvironment(env);
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        process.start(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"),
                      QStringList{"--quiet", "--port", QString::number(m_nginx->port()), "--program-folder",
                                  m_env->programFolder()}
                          + args);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
        if (stdErr)
            *stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcessEnvironment environment(const QString &configFolder) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), configFolder);
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
        return env;
    }

private slots:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnv>();
        m_env->writeFile(QStringLiteral("filetypes.txt"), ".html\r\n.htm\r\n");
        m_nginx = std::make_unique<NginxRunner>(QStringLiteral(RECIPLEX_TEST_DATA "/site"));
        QVERIFY2(m_nginx->isRunning(), qPrintable(m_nginx->failure()));
        // A session bus of the test's own, where it is the notification service.
        m_bus.process.start(QStringLiteral("dbus-daemon"),
                            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        m_busAddress = QString::fromLatin1(m_bus.firstLine());
        QVERIFY2(!m_busAddress.isEmpty(), "dbus-daemon did not start");
        QDBusConnection bus = QDBusConnection::connectToBus(m_busAddress, QStringLiteral("test"));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_notifications,
                                   QDBusConnection::ExportAllSlots));
    }

    void alertsOnlyAfterChanges()
    {
        RecordingHttpServer webhook;
        QVERIFY(webhook.listen());
        Helper smtp;
        const QString inbox = path("inbox");
        const int smtpPort = startSmtp(smtp, inbox, {"alerts", "pa ss"});
        QVERIFY(smtpPort > 0);
        const QString project = writeProject(QStringLiteral("alerts.prj"));
        const QStringList alertSettings{
            "--set", "AlertWebhook=" + webhook.baseUrl() + "/hook", "--set", "AlertMailTo=me@example.test, you@example.test",
            "--set", "SmtpServer=127.0.0.1:" + QString::number(smtpPort), "--set", "SmtpSecurity=none",
            "--set", "SmtpUser=alerts", "--set", "SmtpPassword=pa ss", "--history", path("alerts.history.sqlite")};
        const QProcessEnvironment env = environment(path("config"));

        // The first run has nothing to compare with, the second no change.
        QCOMPARE(scan(alertSettings + QStringList{project}, env), 0);
        QCOMPARE(scan(alertSettings + QStringList{project}, env), 0);
        QCOMPARE(webhook.requests().size(), 0);
        QCOMPARE(mails(inbox).size(), 0);
        QCOMPARE(m_notifications.titles.size(), 0);

        // A page limit of one leaves the link on the third page unseen: lost.
        QString stdErr;
        QCOMPARE(scan(alertSettings + QStringList{"--set", "cmbAdvance=0", "--json", path("lost.json"), project}, env, &stdErr), 3);
        QCOMPARE(stdErr, QString());

        QCOMPARE(webhook.requests().size(), 1);
        const RecordingHttpServer::Request &post = webhook.requests().first();
        QCOMPARE(post.requestLine, QByteArray("POST /hook HTTP/1.1"));
        QCOMPARE(post.header("Content-Type"), QByteArray("application/json"));
        const QJsonObject payload = QJsonDocument::fromJson(post.body).object();
        QCOMPARE(payload["project"].toString(), project);
        QCOMPARE(payload["test"].toBool(true), false);
        QCOMPARE(payload["counts"].toObject()["Lost"].toInt(), 1);
        QCOMPARE(payload["counts"].toObject()["New"].toInt(-1), 0);
        QFile json(path("lost.json"));
        QVERIFY(json.open(QIODevice::ReadOnly));
        const QJsonObject document = QJsonDocument::fromJson(json.readAll()).object();
        QCOMPARE(payload["changes"].toArray(), document["changes"].toArray());
        QCOMPARE(payload["finished"].toString(), document["finished"].toString());
        QCOMPARE(payload["changesSince"].toString(), document["changesSince"].toString());

        QCOMPARE(mails(inbox), QStringList{"1.eml"});
        QFile envelope(inbox + "/1.env");
        QVERIFY(envelope.open(QIODevice::ReadOnly));
        QVERIFY(envelope.readAll().endsWith("\nme@example.test\nyou@example.test\n"));
        QFile mail(inbox + "/1.eml");
        QVERIFY(mail.open(QIODevice::ReadOnly));
        const QByteArray message = mail.readAll();
        QVERIFY2(message.contains("Subject: Reciplex: 1 change in alerts.prj (1 Lost)\r\n"), message.constData());
        QVERIFY(message.contains("To: me@example.test, you@example.test\r\n"));
        QVERIFY(message.contains("Content-Type: text/plain; charset=utf-8"));
        QVERIFY2(message.contains("Lost  mysite.com/links.htm  127.0.0.1"), message.constData());
        QVERIFY(message.contains("filename=\"alerts-report.htm\""));

        QCOMPARE(m_notifications.titles, QStringList{"1 change in alerts.prj"});
    }

    // No answer worth the name: four tries, then an errors row; the scan's
    // status is that of its links.
    void failedDeliveryIsAnErrorNotAFailedScan()
    {
        RecordingHttpServer webhook;
        QVERIFY(webhook.listen());
        webhook.setResponder([](const RecordingHttpServer::Request &) {
            RecordingHttpServer::Response r;
            r.status = 500;
            r.reason = "Internal Server Error";
            return r;
        });
        const QString project = writeProject(QStringLiteral("failing.prj"));
        const QStringList settings{"--set", "AlertWebhook=" + webhook.baseUrl(), "--set", "AlertNotify=0",
                                   "--errors", path("failing-errors.txt"), "--history", path("failing.sqlite")};
        const QProcessEnvironment env = environment(path("config"));
        QCOMPARE(scan(settings + QStringList{"--set", "cmbAdvance=0", project}, env), 1);
        QCOMPARE(webhook.requests().size(), 0);
        QString stdErr;
        QCOMPARE(scan(settings + QStringList{project}, env, &stdErr), 0); // found: "New"
        QCOMPARE(webhook.requests().size(), 4);
        QVERIFY2(stdErr.contains("Alert webhook failed after 4 tries: HTTP 500 Internal Server Error"), qPrintable(stdErr));
        QFile errors(path("failing-errors.txt"));
        QVERIFY(errors.open(QIODevice::ReadOnly));
        QCOMPARE(errors.readAll(), "Error\tURL\r\n\r\nAlert webhook failed after 4 tries: HTTP 500 Internal Server "
                                   "Error\t" + webhook.baseUrl().toLatin1() + "\r\n\r\n");
    }

    // Where the desktop has a secret store the password goes there and not
    // into the settings file; the scheduled scanner finds it there.
    void smtpPasswordInTheSecretStore()
    {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(SmtpPassword::save(QStringLiteral("no store")).place, SmtpPassword::Place::SettingsFile);
        const QString ini = m_env->settingsFolder() + QStringLiteral("/user/Reciplex/Reciplex.ini");
        QCOMPARE(QFile::permissions(ini) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());

        Helper keyring;
        QProcessEnvironment keyringEnv = QProcessEnvironment::systemEnvironment();
        keyringEnv.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
        keyringEnv.insert(QStringLiteral("HOME"), path("keyring-home"));
        keyringEnv.insert(QStringLiteral("XDG_DATA_HOME"), path("keyring-home/data"));
        keyringEnv.insert(QStringLiteral("XDG_RUNTIME_DIR"), path("keyring-run"));
        QDir().mkpath(path("keyring-run"));
        keyring.process.setProcessEnvironment(keyringEnv);
        keyring.process.start(QStringLiteral("gnome-keyring-daemon"),
                              {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        QVERIFY(keyring.process.waitForStarted());
        keyring.process.write("login password");
        keyring.process.closeWriteChannel();
        // Asked before it is there, the bus would start a keyring of its own.
        QDBusConnection bus(QStringLiteral("test"));
        QTRY_VERIFY_WITH_TIMEOUT(bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")), 10000);
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_busAddress.toLatin1());
        QCOMPARE(SmtpPassword::save(QStringLiteral("kept safe")).place, SmtpPassword::Place::SecretStore);
        SettingsStore::instance().sync();
        QFile settings(ini);
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray text = settings.readAll();
        QVERIFY2(!text.contains("kept safe") && !text.contains("no store"), text.constData());

        Helper smtp;
        const QString inbox = path("keyring-inbox");
        const int smtpPort = startSmtp(smtp, inbox, {"alerts", "kept safe"});
        QVERIFY(smtpPort > 0);
        SettingsStore &store = SettingsStore::instance();
        store.write(Keys::AlertMailTo, QStringLiteral("me@example.test"));
        store.write(Keys::SmtpServer, QStringLiteral("127.0.0.1:%1").arg(smtpPort));
        store.write(Keys::SmtpSecurity, QStringLiteral("none"));
        store.write(Keys::SmtpUser, QStringLiteral("alerts"));
        store.write(Keys::AlertNotify, QStringLiteral("0"));
        store.sync();
        const QString project = writeProject(QStringLiteral("keyring.prj"));
        const QProcessEnvironment env = environment(m_env->settingsFolder() + QStringLiteral("/user"));
        const QStringList history{"--history", path("keyring.sqlite")};
        QCOMPARE(scan(history + QStringList{project}, env), 0);
        QString stdErr;
        QCOMPARE(scan(history + QStringList{"--set", "cmbAdvance=0", project}, env, &stdErr), 3);
        QCOMPARE(stdErr, QString());
        QCOMPARE(mails(inbox).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAlerts)
#include "tst_alerts.moc"
