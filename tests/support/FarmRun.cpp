#include "support/FarmRun.h"

#include "model/Project.h"
#include "model/ProjectFile.h"

#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

QByteArray withoutClockLines(const QByteArray &report)
{
    QList<QByteArray> lines = report.split('\n');
    lines.removeIf([](const QByteArray &l) { return l.startsWith("Date: ") || l.startsWith("Time: "); });
    return lines.join('\n');
}

QByteArray withoutTimesAndSitesAtOnce(const QByteArray &json)
{
    QJsonObject doc = QJsonDocument::fromJson(json).object();
    if (doc.isEmpty())
        return "(not a JSON object) " + json;
    doc.remove(QStringLiteral("started"));
    doc.remove(QStringLiteral("finished"));
    QJsonObject settings = doc.value(QStringLiteral("settings")).toObject();
    QJsonObject overrides = settings.value(QStringLiteral("overrides")).toObject();
    overrides.remove(QStringLiteral("SitesAtOnce"));
    settings.insert(QStringLiteral("overrides"), overrides);
    settings.remove(QStringLiteral("sitesAtOnce"));
    doc.insert(QStringLiteral("settings"), settings);
    return QJsonDocument(doc).toJson(QJsonDocument::Indented);
}

} // namespace

FarmRun::FarmRun(const Setup &setup, QObject *parent)
    : QObject(parent)
    , m_setup(setup)
{
    connect(&m_process, &QProcess::finished, this, &FarmRun::collect);
}

void FarmRun::start()
{
    const QString folder = m_setup.folder;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + QStringLiteral("/program"));
    QFile types(folder + QStringLiteral("/program/filetypes.txt"));
    if (!types.open(QIODevice::WriteOnly) || types.write(".html\r\n.htm\r\n") < 0)
        qFatal("cannot write filetypes.txt");
    types.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    m_process.setProcessEnvironment(env);
    const auto file = [&](const char *name) { return folder + QLatin1Char('/') + QLatin1String(name); };
    QStringList args{"--port", QString::number(m_setup.port), "--program-folder", file("program"),
                     "--set", "txtTimeout=1", "--set", "chkLog=1", "--set", "RetryDelay=0", "--set", "RenderJavaScript=0",
                     "--set", QStringLiteral("SitesAtOnce=%1").arg(m_setup.sitesAtOnce),
                     "--output", file("out.prj"), "--tab", file("out.tab"), "--report", file("report.htm"),
                     "--errors", file("errors.txt"), "--json", file("scan.json")};
    if (m_setup.tlsPort)
        args << "--tls-port" << QString::number(m_setup.tlsPort);
    for (const QString &kv : m_setup.settings)
        args << "--set" << kv;
    m_startedMs = QDateTime::currentMSecsSinceEpoch();
    args << m_setup.project;
    // A wrapper runs the scanner under a checker ("valgrind -q --error-exitcode=99").
    const QStringList wrapper = qEnvironmentVariable("RECIPLEX_SCAN_WRAPPER").split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (wrapper.isEmpty())
        m_process.start(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"), args);
    else
        m_process.start(wrapper.first(), wrapper.mid(1) + QStringList{QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan")} + args);
    QTimer::singleShot(m_setup.limitMs, &m_process, [this] {
        if (m_process.state() != QProcess::NotRunning) {
            m_files.insert(QStringLiteral("exit status"), "(still running after the limit)");
            m_process.kill();
        }
    });
}

void FarmRun::collect()
{
    m_elapsedMs = QDateTime::currentMSecsSinceEpoch() - m_startedMs;
    const QString folder = m_setup.folder;
    const auto file = [&](const char *name) { return folder + QLatin1Char('/') + QLatin1String(name); };
    RunFiles &r = m_files;
    if (!r.contains(QStringLiteral("exit status")))
        r.insert(QStringLiteral("exit status"), m_process.exitStatus() == QProcess::NormalExit
                                                    ? QByteArray::number(m_process.exitCode())
                                                    : QByteArray("(crashed)"));
    r.insert(QStringLiteral("stdout"), m_process.readAllStandardOutput());
    r.insert(QStringLiteral("stderr"), m_process.readAllStandardError());
    r.insert(QStringLiteral("out.prj"), readAll(file("out.prj")));
    r.insert(QStringLiteral("out.tab"), readAll(file("out.tab")));
    r.insert(QStringLiteral("report.htm"), withoutClockLines(readAll(file("report.htm"))));
    r.insert(QStringLiteral("errors.txt"), readAll(file("errors.txt")));
    r.insert(QStringLiteral("scan.json"), withoutTimesAndSitesAtOnce(readAll(file("scan.json"))));
    r.insert(QStringLiteral("rules.log"), readAll(file("program/rules.log")));
    // The page caches hold the last page of the scan, and no site leaves
    // caches of its own behind.
    r.insert(QStringLiteral("html0.txt"), readAll(file("program/html0.txt")));
    r.insert(QStringLiteral("html20.txt"), readAll(file("program/html20.txt")));
    r.insert(QStringLiteral("program folder"),
             QDir(file("program")).entryList(QDir::Files, QDir::Name).join(QLatin1Char(' ')).toLatin1());
    // The statistics of all runs are stored in the settings.
    r.insert(QStringLiteral("Reciplex.ini"), readAll(file("config/Reciplex/Reciplex.ini")));
    emit finished();
}

RunFiles FarmRun::scan(const Setup &setup)
{
    FarmRun run(setup);
    QEventLoop loop;
    QObject::connect(&run, &FarmRun::finished, &loop, &QEventLoop::quit);
    run.start();
    loop.exec();
    return run.files();
}

void writeFarmProject(const SiteFarmServer::Layout &layout, const QString &file, bool previousResults)
{
    Project p;
    for (const MainSite &main : layout.mainSites) {
        const int m = p.addMainSite(main.url);
        for (const LinkingSite &site : main.linkingSites)
            p.appendLinkingSite(m, site);
    }
    for (const Rule &r : layout.rules)
        p.appendRule(r);
    if (previousResults && !layout.mainSites.isEmpty() && !layout.mainSites.first().linkingSites.isEmpty()) {
        LinkResult old;
        old.icon = 2;
        old.mainSite = layout.mainSites.first().url;
        old.remoteSite = layout.mainSites.first().linkingSites.first().url;
        old.status = QStringLiteral("Direct Link");
        old.number = QStringLiteral("001");
        old.url = old.remoteSite;
        p.appendResult(old);
    }
    if (!ProjectFile::write(p, file))
        qFatal("cannot write the project");
}

LinkingSite farmSite(const QString &url)
{
    LinkingSite site;
    site.url = url;
    return site;
}

int farmSiteCount(const SiteFarmServer::Layout &layout)
{
    int n = 0;
    for (const MainSite &main : layout.mainSites)
        n += int(main.linkingSites.size());
    return n;
}

QString firstDifference(const RunFiles &one, const RunFiles &other)
{
    for (auto it = one.constBegin(); it != one.constEnd(); ++it) {
        const QByteArray &theirs = other.value(it.key());
        if (theirs == it.value())
            continue;
        const QList<QByteArray> a = it.value().split('\n');
        const QList<QByteArray> b = theirs.split('\n');
        for (int i = 0; i < qMax(a.size(), b.size()); ++i) {
            const QByteArray la = a.value(i, "(end)");
            const QByteArray lb = b.value(i, "(end)");
            if (la != lb)
                return QStringLiteral("%1, line %2: '%3' against '%4'")
                    .arg(it.key())
                    .arg(i + 1)
                    .arg(QString::fromLatin1(la.trimmed().left(200)), QString::fromLatin1(lb.trimmed().left(200)));
        }
    }
    return QString();
}
