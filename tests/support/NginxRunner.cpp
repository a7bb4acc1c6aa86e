#include "support/NginxRunner.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

static quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

NginxRunner::NginxRunner(const QString &fixtureFolder, const Options &options)
    : m_options(options)
{
    if (!QFileInfo(binary()).isExecutable()) {
        m_failure = binary() + QStringLiteral(" is not installed");
        return;
    }
    // A port found free can be taken before nginx binds it: try a few.
    for (int attempt = 0; attempt < 5 && !m_running; ++attempt) {
        m_port = freeLoopbackPort();
        m_tlsPort = 0;
        while (!m_options.tlsCertificate.isEmpty() && (m_tlsPort == 0 || m_tlsPort == m_port))
            m_tlsPort = freeLoopbackPort();
        QDir(documentRoot()).removeRecursively();
        if (!copyFixture(fixtureFolder, documentRoot())) {
            m_failure = QStringLiteral("cannot copy the fixture ") + fixtureFolder;
            return;
        }
        m_running = start();
    }
}

NginxRunner::~NginxRunner()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
}

QString NginxRunner::documentRoot() const
{
    return m_dir.path() + QStringLiteral("/site");
}

bool NginxRunner::copyFixture(const QString &from, const QString &to) const
{
    const QDir source(from);
    if (!source.exists())
        return false;
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QDir().mkpath(to);
    const QByteArray port = QByteArray::number(m_port);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + QLatin1Char('/') + source.relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile in(file);
        QFile out(target);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            return false;
        out.write(in.readAll().replace("@PORT@", port));
    }
    return true;
}

// The TLS server block: the same site, its own log.
QString NginxRunner::tlsServer() const
{
    if (m_options.tlsCertificate.isEmpty())
        return QString();
    return QStringLiteral(
        "  server {\n"
        "    listen 127.0.0.1:%1 ssl;\n"
        "    server_name _;\n"
        "    ssl_certificate %2;\n"
        "    ssl_certificate_key %3;\n"
        "    access_log %4/tls-access.log paths;\n"
        "    location = /robots.txt { access_log %4/tls-robots.log paths; }\n"
        "    root %5;\n"
        "    %6\n"
        "  }\n").arg(m_tlsPort).arg(m_options.tlsCertificate, m_options.tlsKey, m_dir.path(), documentRoot(),
                                    m_options.tlsDirectives);
}

bool NginxRunner::start()
{
    const QString prefix = m_dir.path();
    QDir(prefix).mkpath(QStringLiteral("tmp"));
    const QString conf = QStringLiteral(
        "daemon off;\n"
        "master_process off;\n"
        "worker_processes 1;\n"
        "pid %1/nginx.pid;\n"
        "error_log %1/error.log warn;\n"
        "events { worker_connections 1024; }\n"
        "http {\n"
        "  log_format paths '\"$request\" \"$http_user_agent\"';\n"
        "  access_log %1/access.log paths;\n"
        "  client_body_temp_path %1/tmp/body;\n"
        "  proxy_temp_path %1/tmp/proxy;\n"
        "  fastcgi_temp_path %1/tmp/fastcgi;\n"
        "  uwsgi_temp_path %1/tmp/uwsgi;\n"
        "  scgi_temp_path %1/tmp/scgi;\n"
        "  types { text/html html htm; text/plain txt; }\n"
        "  default_type text/html;\n"
        "  server {\n"
        "    listen 127.0.0.1:%2;\n"
        "    server_name _;\n"
        "    root %3;\n"
        "    location = /moved { return 301 http://127.0.0.1:%2/direct/index.html; }\n"
        "    location = /robots.txt { access_log %1/robots.log paths; }\n"
        "    location = /.settle { access_log off; return 204; }\n"
        "    %4\n"
        "  }\n"
        "%5"
        "}\n").arg(prefix).arg(m_port).arg(documentRoot(), m_options.plainDirectives, tlsServer());
    QFile file(prefix + QStringLiteral("/nginx.conf"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(conf.toLatin1());
    file.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(binary(), {QStringLiteral("-p"), prefix, QStringLiteral("-c"), file.fileName(),
                               QStringLiteral("-e"), prefix + QStringLiteral("/error.log")});
    if (!m_process.waitForStarted(5000)) {
        m_failure = QStringLiteral("nginx did not start");
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        if (m_process.state() == QProcess::NotRunning) {
            m_failure = QStringLiteral("nginx ended: ") + QString::fromLocal8Bit(m_process.readAll());
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    m_failure = QStringLiteral("nginx did not listen");
    m_process.kill();
    m_process.waitForFinished(2000);
    return false;
}

// nginx writes a request's log line just after sending its answer, so a scan
// can read its last page before the line is there. One worker serves every
// connection in turn: once it has answered a later request, the earlier
// lines are written.
void NginxRunner::waitForLogs() const
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    if (!socket.waitForConnected(2000))
        return;
    socket.write("GET /.settle HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: settle\r\nConnection: close\r\n\r\n");
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(2000))
        socket.readAll();
}

// Lines look like: "GET /path HTTP/1.1" "user agent"; field 0 is the path,
// field 1 the user agent.
QStringList NginxRunner::logField(const QString &log, int field) const
{
    waitForLogs();
    QFile file(m_dir.path() + QLatin1Char('/') + log);
    QStringList values;
    if (!file.open(QIODevice::ReadOnly))
        return values;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.startsWith("\"GET "))
            continue;
        if (field == 0) {
            values << QString::fromLatin1(line.mid(5, line.indexOf(' ', 5) - 5));
        } else {
            const int open = line.indexOf("\" \"");
            values << QString::fromLatin1(line.mid(open + 3, line.size() - open - 4));
        }
    }
    return values;
}

QStringList NginxRunner::requestedPaths() const
{
    return logField(QStringLiteral("access.log"), 0);
}

QStringList NginxRunner::requestedTlsPaths() const
{
    return logField(QStringLiteral("tls-access.log"), 0);
}

QStringList NginxRunner::requestedRobotsFiles() const
{
    return logField(QStringLiteral("robots.log"), 0);
}

QStringList NginxRunner::requestedTlsRobotsFiles() const
{
    return logField(QStringLiteral("tls-robots.log"), 0);
}

QStringList NginxRunner::requestedUserAgents() const
{
    return logField(QStringLiteral("access.log"), 1);
}
