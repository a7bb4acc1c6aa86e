// The built reciplex-scan run over a farm of generated Linking Sites with
// several sites at once: every file it writes, its exit status and what it
// prints must be byte for byte what the one-site-at-a-time scan gives.
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/ScanRigBase.h"
#include "support/SiteFarmServer.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// Everything one run leaves behind, by name, with what differs by nature
// between runs (clock times, the SitesAtOnce override itself) taken out.
using RunFiles = QMap<QString, QByteArray>;

static QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

static QByteArray withoutClockLines(const QByteArray &report)
{
    QList<QByteArray> lines = report.split('\n');
    lines.removeIf([](const QByteArray &l) { return l.startsWith("Date: ") || l.startsWith("Time: "); });
    return lines.join('\n');
}

static QByteArray withoutTimesAndSitesAtOnce(const QByteArray &json)
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

// "file, line N: 'a' against 'b'" for the first line that differs, or "".
static QString firstDifference(const RunFiles &one, const RunFiles &many)
{
    for (auto it = one.constBegin(); it != one.constEnd(); ++it) {
        const QByteArray &other = many.value(it.key());
        if (other == it.value())
            continue;
        const QList<QByteArray> a = it.value().split('\n');
        const QList<QByteArray> b = other.split('\n');
        for (int i = 0; i < qMax(a.size(), b.size()); ++i) {
            const QByteArray la = a.value(i, "(end)");
            const QByteArray lb = b.value(i, "(end)");
            if (la != lb)
                return QStringLiteral("%1, line %2: '%3' against '%4'")
                    .arg(it.key())
                    .arg(i + 1)
                    .arg(QString::fromLatin1(la.trimmed()), QString::fromLatin1(lb.trimmed()));
        }
    }
    return QString();
}

class TestSitesAtOnce : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SiteFarmServer> m_farm;

    static qint64 sites(const SiteFarmServer::Layout &layout)
    {
        qint64 n = 0;
        for (const MainSite &main : layout.mainSites)
            n += main.linkingSites.size();
        return n;
    }

    QString writeProject(const SiteFarmServer::Layout &layout, const QString &file)
    {
        Project p;
        for (const MainSite &main : layout.mainSites) {
            const int m = p.addMainSite(main.url);
            for (const LinkingSite &site : main.linkingSites)
                p.appendLinkingSite(m, site);
        }
        for (const Rule &r : layout.rules)
            p.appendRule(r);
        if (!ProjectFile::write(p, file))
            qFatal("cannot write the project");
        return file;
    }

    // One scan in its own settings location and program folder. The farm
    // answers from this process, so the wait runs the event loop.
    RunFiles scan(const QString &project, int sitesAtOnce)
    {
        const QString folder = QFileInfo(project).absolutePath() + QStringLiteral("/at%1").arg(sitesAtOnce);
        QDir().mkpath(folder + QStringLiteral("/program"));
        QFile types(folder + QStringLiteral("/program/filetypes.txt"));
        if (!types.open(QIODevice::WriteOnly) || types.write(".html\r\n.htm\r\n") < 0)
            qFatal("cannot write filetypes.txt");
        types.close();

        m_farm->resetCounts();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
        process.setProcessEnvironment(env);
        const auto file = [&](const char *name) { return folder + QLatin1Char('/') + QLatin1String(name); };
        process.start(QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-scan"),
                      {"--port", QString::number(m_farm->port()), "--program-folder", file("program"),
                       "--set", "txtTimeout=1", "--set", "chkLog=1",
                       "--set", QStringLiteral("SitesAtOnce=%1").arg(sitesAtOnce),
                       "--output", file("out.prj"), "--tab", file("out.tab"), "--report", file("report.htm"),
                       "--errors", file("errors.txt"), "--json", file("scan.json"), project});
        QEventLoop loop;
        connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(60000, &loop, &QEventLoop::quit);
        if (process.state() != QProcess::NotRunning)
            loop.exec();
        RunFiles r;
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
            r.insert(QStringLiteral("exit status"), "(still running after a minute)");
            return r;
        }
        r.insert(QStringLiteral("exit status"), process.exitStatus() == QProcess::NormalExit
                                                    ? QByteArray::number(process.exitCode())
                                                    : QByteArray("(crashed)"));
        r.insert(QStringLiteral("stdout"), process.readAllStandardOutput());
        r.insert(QStringLiteral("stderr"), process.readAllStandardError());
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
        r.insert(QStringLiteral("requests"), QByteArray::number(m_farm->requestCount()));
        // The statistics of all runs are stored in the settings.
        r.insert(QStringLiteral("Reciplex.ini"), readAll(file("config/Reciplex/Reciplex.ini")));
        return r;
    }

private slots:
    void initTestCase()
    {
        m_farm = std::make_unique<SiteFarmServer>(12);
        QVERIFY2(m_farm->isListening(), qPrintable(m_farm->failure()));
    }

    // The same in this process: a scan of the farm at eight sites at once.
    static void load(ScanRigBase &rig, const SiteFarmServer::Layout &layout)
    {
        for (const MainSite &main : layout.mainSites) {
            const int m = rig.project.addMainSite(main.url);
            for (const LinkingSite &site : main.linkingSites)
                rig.project.appendLinkingSite(m, site);
        }
        SettingsStore::instance().write(Keys::SitesAtOnce, QStringLiteral("8"));
        SettingsStore::instance().write(Keys::chkLinkNotes, QStringLiteral("0"));
    }

    void sameOutputsWhateverTheNumber_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::newRow("a URL update seen by a later site") << 0u;
        QTest::newRow("seed 11") << 11u;
        QTest::newRow("seed 2024") << 2024u;
        QTest::newRow("seed 77777") << 77777u;
    }

    void sameOutputsWhateverTheNumber()
    {
        QFETCH(quint32, seed);
        const SiteFarmServer::Layout layout = seed ? m_farm->generate(seed) : m_farm->seenThroughAnUpdatedUrl();
        const QString folder = m_dir.filePath(QString::number(seed));
        QVERIFY(QDir().mkpath(folder));
        const QString project = writeProject(layout, folder + QStringLiteral("/farm.prj"));

        const RunFiles one = scan(project, 1);
        QVERIFY(m_farm->mostAtOnceOnOneHost() >= 1 && m_farm->mostAtOnceOnOneHost() <= 2);
        if (seed == 0) {
            // The second site never fetches the first one's link page.
            QCOMPARE(one.value(QStringLiteral("out.tab")).count("Direct Link"), qsizetype(1));
            QVERIFY(one.value(QStringLiteral("out.tab")).contains("None Found"));
        } else {
            // The farm must give the scan something to get wrong: every kind of
            // ending, a time-out, logged rules and URLs replaced by the scan.
            const QByteArray tab = one.value(QStringLiteral("out.tab"));
            for (const char *status : {"Direct Link", "None Found", "Redirect Link"})
                QVERIFY2(tab.contains(status), status);
            QVERIFY(one.value(QStringLiteral("errors.txt")).contains("Timeout"));
            QVERIFY(one.value(QStringLiteral("rules.log")).contains("Excluded Site"));
            QVERIFY(one.value(QStringLiteral("out.prj")) != readAll(project));
            QCOMPARE(one.value(QStringLiteral("exit status")), QByteArray("1"));
            QVERIFY(tab.contains("nofollow") || tab.contains("blocked by robots.txt"));
        }

        QCOMPARE(one.value(QStringLiteral("program folder")),
                 QByteArray("filetypes.txt html0.txt html20.txt") + (seed ? " rules.log" : "") + " tempreport.html");
        for (int n : {8, 32}) {
            RunFiles many = scan(project, n);
            // Sites asked for their next page ahead (at most one a site, which
            // counts nowhere); a site redone for an answer that could not
            // matter would fetch its pages twice.
            const qint64 extra = many.take(QStringLiteral("requests")).toLongLong()
                               - one.value(QStringLiteral("requests")).toLongLong();
            QVERIFY2(extra <= sites(layout), qPrintable(QStringLiteral("%1 requests more").arg(extra)));
            many.insert(QStringLiteral("requests"), one.value(QStringLiteral("requests")));
            const QString difference = firstDifference(one, many);
            QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("SitesAtOnce=%1: %2").arg(n).arg(difference)));
            // Sites of one host take turns; one site fetches at most two pages at once.
            QVERIFY2(m_farm->mostAtOnceOnOneHost() <= 2,
                     qPrintable(QStringLiteral("SitesAtOnce=%1: %2 requests at once on one host")
                                    .arg(n)
                                    .arg(m_farm->mostAtOnceOnOneHost())));
        }
    }

    // A site scanned ahead whose answers an earlier site's URL update made
    // wrong is scanned again once it is the earliest; a Skip of it then is
    // the user's last word on it.
    void skipOfASiteScannedAgain()
    {
        ScanRigBase rig(1);
        load(rig, m_farm->seenThroughAnUpdatedUrl());
        rig.engine.setPort(m_farm->port());
        rig.frontEnd.onStatus = [&](int panel, const QString &text) {
            if (panel == 3 && (text == QLatin1String("Searching 127.0.0.1") || text.startsWith(QLatin1String("Searching 127.0.0.1 ["))))
                QTimer::singleShot(0, &rig.engine, &ScanRun::skipCurrent);
        };
        QVERIFY(rig.run(20000));
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.12|127.0.0.12/a/links.html",
                                          "None Found (Skipped)|000|127.0.0.1|127.0.0.1"}));
    }

    // A first site that keeps the scan waiting holds no one else back: the
    // others are all done by the time it times out.
    void slowFirstSiteHoldsNoOneBack()
    {
        ScanRigBase rig(3);
        SiteFarmServer::Layout layout;
        MainSite main;
        main.url = QStringLiteral("http://www.mysite1.com/links.htm");
        SiteFarmServer::Answer silent;
        silent.silent = true;
        m_farm->setPage(0, "/", silent);
        main.linkingSites.append(LinkingSite{SiteFarmServer::hostName(0)});
        SiteFarmServer::Answer linked;
        linked.body = "<a href=\"http://www.mysite1.com/links.htm\">friend</a>";
        for (int i = 0; i < 40; ++i) {
            const QByteArray path = "/quick" + QByteArray::number(i) + "/";
            m_farm->setPage(1 + i % 4, path, linked);
            main.linkingSites.append(LinkingSite{SiteFarmServer::hostName(1 + i % 4) + QString::fromLatin1(path)});
        }
        layout.mainSites = {main};
        load(rig, layout);
        rig.engine.setPort(m_farm->port());
        m_farm->resetCounts();
        int answeredWhenFirstEnded = -1;
        rig.frontEnd.onFinished = [&] {
            if (answeredWhenFirstEnded < 0)
                answeredWhenFirstEnded = m_farm->requestCount();
        };
        QVERIFY(rig.run(30000));
        QCOMPARE(rig.project.results().size(), 41);
        QCOMPARE(answeredWhenFirstEnded, 41);
    }
};

QTEST_GUILESS_MAIN(TestSitesAtOnce)
#include "tst_sitesatonce.moc"
