#include "schedule/SchedulerTools.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

SchedulerTools SchedulerTools::fromEnvironment()
{
    SchedulerTools tools;
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    tools.unitFolder = config + QStringLiteral("/systemd/user");
    const auto fromEnv = [](const char *name, QString *command) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            *command = value;
    };
    fromEnv("RECIPLEX_SYSTEMCTL", &tools.systemctl);
    fromEnv("RECIPLEX_CRONTAB", &tools.crontab);
    fromEnv("RECIPLEX_SYSTEMD_ANALYZE", &tools.systemdAnalyze);
    return tools;
}

QString ToolRun::failure(const QString &program) const
{
    if (!started)
        return QStringLiteral("%1 could not be started").arg(program);
    const QString words = err.trimmed();
    return words.isEmpty() ? QStringLiteral("%1 ended with status %2").arg(program).arg(exitCode) : words;
}

ToolRun runTool(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    ToolRun run;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return run;
    run.started = true;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("%1 did not finish within 30 seconds").arg(program);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}
