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

NginxRunner::NginxRunner(const QString &fixtureFolder)
{
    if (!QFileInfo(binary()).isExecutable()) {
        m_failure = binary() + QStringLiteral(" is not installed");
        return;
    }
    // A port found free can be taken before nginx binds it: try a few.
    for (int attempt = 0; attempt < 5 && !m_running; ++attempt) {
        m_port = freeLoopbackPort();
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
        "  access_log %1/access.log;\n"
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
        "  }\n"
        "}\n").arg(prefix).arg(m_port).arg(documentRoot());
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

QStringList NginxRunner::requestedPaths() const
{
    QFile log(m_dir.path() + QStringLiteral("/access.log"));
    QStringList paths;
    if (!log.open(QIODevice::ReadOnly))
        return paths;
    // Lines look like: 127.0.0.1 - - [date] "GET /path HTTP/1.1" 200 …
    for (const QByteArray &line : log.readAll().split('\n')) {
        const int get = line.indexOf("\"GET ");
        if (get < 0)
            continue;
        const int end = line.indexOf(' ', get + 5);
        paths << QString::fromLatin1(line.mid(get + 5, end - get - 5));
    }
    return paths;
}
