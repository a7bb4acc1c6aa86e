// Scheduled scans: the schedule texts, the systemd user units reciplex-scan
// writes (checked by systemd-analyze verify) and the crontab line used
// without a systemd user session (run through a real shell). The units go to
// a temporary XDG_CONFIG_HOME and the commands are stand-ins: the machine's
// own timers and crontab are never touched.
#include "schedule/ScheduleRule.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

class TestSchedule : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    Run run(const QStringList &args, const QMap<QString, QString> &vars, const QString &program = QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"))
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        for (auto it = vars.begin(); it != vars.end(); ++it)
            env.insert(it.key(), it.value());
        process.setProcessEnvironment(env);
        process.start(program, args);
        Run r;
        if (!process.waitForFinished(30000))
            return r;
        r.exitCode = process.exitCode();
        r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(process.readAllStandardError());
        return r;
    }

    // A project whose name holds what unit files and shells treat specially.
    QString project()
    {
        const QString path = m_dir.filePath(QStringLiteral("my sites 100% $HOME \"q\" 'a'.prj"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write("http://www.mysite.com/\r\n127.0.0.1/|1|||\r\n") < 0)
            qFatal("cannot write the project");
        return path;
    }

private slots:
    void scheduleTexts_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("text");       // "" when refused
        QTest::addColumn<QString>("onCalendar");
        QTest::addColumn<QString>("cron");
        QTest::newRow("hourly") << "hourly" << "hourly" << "*-*-* *:00:00" << "0 * * * *";
        QTest::newRow("daily") << "daily 03:00" << "daily 03:00" << "*-*-* 03:00:00" << "0 3 * * *";
        QTest::newRow("daily, one-digit hour, any case") << "  Daily   3:07 " << "daily 03:07" << "*-*-* 03:07:00" << "7 3 * * *";
        QTest::newRow("daily alone") << "daily" << "daily 00:00" << "*-*-* 00:00:00" << "0 0 * * *";
        QTest::newRow("weekly") << "weekly Mon 03:00" << "weekly Mon 03:00" << "Mon *-*-* 03:00:00" << "0 3 * * 1";
        QTest::newRow("weekly on Sunday") << "weekly sunday 23:59" << "weekly Sun 23:59" << "Sun *-*-* 23:59:00" << "59 23 * * 0";
        QTest::newRow("calendar") << "Mon..Fri *-*-* 06:30" << "Mon..Fri *-*-* 06:30" << "Mon..Fri *-*-* 06:30" << "";
        QTest::newRow("hour 24") << "daily 24:00" << "" << "" << "";
        QTest::newRow("no day") << "weekly Someday 03:00" << "" << "" << "";
        QTest::newRow("a specifier") << "daily%n" << "" << "" << "";
        QTest::newRow("a line break") << "hourly\nExecStart=/bin/sh" << "" << "" << "";
        QTest::newRow("empty") << " " << "" << "" << "";
    }

    void scheduleTexts()
    {
        QFETCH(QString, given);
        QFETCH(QString, text);
        QString error;
        const std::optional<ScheduleRule> rule = ScheduleRule::parse(given, &error);
        QCOMPARE(rule.has_value(), !text.isEmpty());
        if (!rule) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QCOMPARE(rule->text(), text);
        QTEST(rule->onCalendar(), "onCalendar");
        QTEST(rule->cronFields(), "cron");
    }

    void nextRun()
    {
        QString error;
        const QDateTime friday(QDate(2026, 12, 11), QTime(3, 0));
        QCOMPARE(ScheduleRule::parse("daily 03:00", &error)->nextRunAfter(friday), friday.addDays(1));
        QCOMPARE(ScheduleRule::parse("weekly Fri 03:01", &error)->nextRunAfter(friday), friday.addSecs(60));
        QCOMPARE(ScheduleRule::parse("weekly Thu 03:00", &error)->nextRunAfter(friday), friday.addDays(6));
        QCOMPARE(ScheduleRule::parse("hourly", &error)->nextRunAfter(friday.addSecs(1)), friday.addSecs(3600));
    }

    // Where a systemd user session runs: a timer and a service that systemd
    // takes as they are, listed with their next run and removed again.
    void systemdUserTimer()
    {
        const QMap<QString, QString> systemd{{"RECIPLEX_SYSTEMCTL", "/bin/true"},
                                             {"RECIPLEX_CRONTAB", RECIPLEX_TEST_SUPPORT "/user-crontab.sh"},
                                             {"RECIPLEX_TEST_CRONTAB_FILE", m_dir.filePath("systemd-crontab")}};
        const QString prj = project();
        Run r = run({"--schedule", "weekly Mon 03:00", "--set", "SitesAtOnce=2", prj}, systemd);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith("Scheduled \"weekly Mon 03:00\" for " + prj + " with the systemd user timer reciplex-scan-my-sites-100-home-q-a-"),
                 qPrintable(r.out));
        const QDir units(m_dir.filePath(QStringLiteral("config/systemd/user")));
        const QStringList files = units.entryList(QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 2);
        QVERIFY(files.at(0).endsWith(".service") && files.at(1).endsWith(".timer"));
        const Run verify = run({"verify", units.filePath(files.at(0)), units.filePath(files.at(1))}, {}, "systemd-analyze");
        QCOMPARE(verify.err, QString());
        QCOMPARE(verify.exitCode, 0);

        r = run({"--schedules"}, systemd);
        QCOMPARE(r.exitCode, 0);
        const QStringList fields = r.out.trimmed().split('\t');
        QCOMPARE(fields.size(), 4);
        QVERIFY2(fields.at(0).endsWith("03:00 (Mon)"), qPrintable(fields.at(0)));
        QCOMPARE(fields.mid(1), QStringList({"weekly Mon 03:00", "systemd user timer " + files.at(1), prj}));

        // A calendar expression systemd does not take is refused, the old schedule kept.
        r = run({"--schedule", "Mon..Fri 25:00", prj}, systemd);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains("is not a calendar expression systemd takes"), qPrintable(r.err));
        QCOMPARE(units.entryList(QDir::Files).size(), 2);

        r = run({"--unschedule", prj}, systemd);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(units.entryList(QDir::Files).size(), 0);
        QCOMPARE(run({"--schedules"}, systemd).out, QString("No scheduled scans.\n"));
    }

    // Without a systemd user session: one line in the user's crontab, beside
    // the user's own, whose command a shell reads back word for word.
    void crontabWithoutSystemd()
    {
        const QString table = m_dir.filePath(QStringLiteral("crontab"));
        const QMap<QString, QString> cron{{"RECIPLEX_SYSTEMCTL", "/bin/false"},
                                          {"RECIPLEX_CRONTAB", RECIPLEX_TEST_SUPPORT "/user-crontab.sh"},
                                          {"RECIPLEX_TEST_CRONTAB_FILE", table}};
        QFile own(table);
        QVERIFY(own.open(QIODevice::WriteOnly));
        own.write("MAILTO=me\n5 4 * * * /usr/bin/backup\n");
        own.close();
        const QString prj = project();
        Run r = run({"--schedule", "daily 03:30", prj}, cron);
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(r.out.startsWith("No systemd user session: scheduled \"daily 03:30\" for " + prj + " in your crontab instead"),
                 qPrintable(r.out));
        QVERIFY(own.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(own.readAll()).split('\n', Qt::SkipEmptyParts);
        own.close();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.mid(0, 2), QStringList({"MAILTO=me", "5 4 * * * /usr/bin/backup"}));
        QVERIFY(lines.at(2).startsWith("30 3 * * * "));
        // What cron hands the shell: the command, with "\%" read as "%".
        QString command = lines.at(2).section(' ', 5);
        command.replace("\\%", "%");
        const Run words = run({"-c", "printf '%s\\n' " + command}, {}, "/bin/sh");
        const QString history = m_dir.filePath("my sites 100% $HOME \"q\" 'a'.history.sqlite");
        QCOMPARE(words.out.split('\n', Qt::SkipEmptyParts),
                 QStringList({RECIPLEX_BUILD_DIR "/reciplex-scan", "--quiet", "--history", history, prj}));

        QCOMPARE(run({"--schedules"}, cron).out.section('\t', 1), "daily 03:30\tcrontab\t" + prj + "\n");
        r = run({"--schedule", "Mon..Fri 06:30", prj}, cron);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains("crontab, which takes only"));
        QCOMPARE(run({"--unschedule", prj}, cron).exitCode, 0);
        QVERIFY(own.open(QIODevice::ReadOnly));
        QCOMPARE(own.readAll(), QByteArray("MAILTO=me\n5 4 * * * /usr/bin/backup\n"));
    }
};

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
