#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// nginx serving a copy of a fixture folder on a free 127.0.0.1 port, started
// as the current user with its own prefix, configuration and logs in a
// temporary folder, and stopped in the destructor. Every "@PORT@" in the
// fixture's files is replaced by the port, so pages can name the server.
class NginxRunner
{
public:
    explicit NginxRunner(const QString &fixtureFolder);
    ~NginxRunner();
    NginxRunner(const NginxRunner &) = delete;
    NginxRunner &operator=(const NginxRunner &) = delete;

    static QString binary() { return QStringLiteral("/usr/sbin/nginx"); }

    bool isRunning() const { return m_running; }
    QString failure() const { return m_failure; }
    quint16 port() const { return m_port; }
    QString documentRoot() const;
    // The request paths nginx has logged so far ("/direct/page2.html"), in order.
    QStringList requestedPaths() const;

private:
    bool start();
    bool copyFixture(const QString &from, const QString &to) const;

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_running = false;
    QString m_failure;
};
