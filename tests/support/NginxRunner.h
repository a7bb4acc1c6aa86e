#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// nginx serving a copy of a fixture folder on a free 127.0.0.1 port, started
// as the current user with its own prefix, configuration and logs in a
// temporary folder, and stopped in the destructor. Every "@PORT@" in the
// fixture's files is replaced by the port, so pages can name the server.
//
// With a certificate and key it serves the same site over TLS on a second
// port too; extra directives go into either server block (a redirect to
// https, a rule on the user agent).
class NginxRunner
{
public:
    struct Options
    {
        QString tlsCertificate; // files of tests/data/tls
        QString tlsKey;
        QString plainDirectives;
        QString tlsDirectives;
    };

    explicit NginxRunner(const QString &fixtureFolder, const Options &options = Options());
    ~NginxRunner();
    NginxRunner(const NginxRunner &) = delete;
    NginxRunner &operator=(const NginxRunner &) = delete;

    static QString binary() { return QStringLiteral("/usr/sbin/nginx"); }

    bool isRunning() const { return m_running; }
    QString failure() const { return m_failure; }
    quint16 port() const { return m_port; }
    quint16 tlsPort() const { return m_tlsPort; } // 0 without TLS
    QString documentRoot() const;
    // The request paths nginx has logged so far ("/direct/page2.html"), in
    // order: those of the plain server, or of the TLS server. The scan's
    // pages only: robots.txt requests have a log of their own.
    QStringList requestedPaths() const;
    QStringList requestedTlsPaths() const;
    QStringList requestedRobotsFiles() const;
    QStringList requestedTlsRobotsFiles() const;
    // The User-Agent of every logged request of the plain server, in order.
    QStringList requestedUserAgents() const;

private:
    bool start();
    QString tlsServer() const;
    bool copyFixture(const QString &from, const QString &to) const;

    QTemporaryDir m_dir;
    QStringList logField(const QString &log, int field) const;
    void waitForLogs() const;

    Options m_options;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    bool m_running = false;
    QString m_failure;
};
