#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The commands and the folder scheduling works with. By default the user's
// own: systemctl --user, crontab, systemd-analyze and the user unit folder
// ($XDG_CONFIG_HOME/systemd/user). RECIPLEX_SYSTEMCTL, RECIPLEX_CRONTAB and
// RECIPLEX_SYSTEMD_ANALYZE name other commands, so tests never change the
// machine they run on.
struct SchedulerTools
{
    QString unitFolder;
    QString systemctl = QStringLiteral("systemctl");
    QString crontab = QStringLiteral("crontab");
    QString systemdAnalyze = QStringLiteral("systemd-analyze");

    static SchedulerTools fromEnvironment();
};

struct ToolRun
{
    bool started = false;
    int exitCode = -1;
    QByteArray out;
    QString err;

    bool ok() const { return started && exitCode == 0; }
    // The tool's own words on a failure, or that it could not be started.
    QString failure(const QString &program) const;
};

// Runs a command to its end (at most 30 seconds), feeding it `input`.
ToolRun runTool(const QString &program, const QStringList &arguments, const QByteArray &input = QByteArray());
