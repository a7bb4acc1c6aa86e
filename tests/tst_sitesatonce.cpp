// The built reciplex-scan run over a farm of generated Linking Sites with
// several sites at once: every file it writes, its exit status and what it
// prints must be byte for byte what the one-site-at-a-time scan gives.
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/ScanRigBase.h"
#include "support/FarmRun.h"

#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestSitesAtOnce : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SiteFarmServer> m_farm;

    // One scan in its own settings location and program folder.
    RunFiles scan(const QString &project, int sitesAtOnce)
    {
        m_farm->resetCounts();
        FarmRun::Setup setup;
        setup.project = project;
        setup.folder = QFileInfo(project).absolutePath() + QStringLiteral("/at%1").arg(sitesAtOnce);
        setup.port = m_farm->port();
        setup.sitesAtOnce = sitesAtOnce;
        setup.limitMs = 60000;
        RunFiles r = FarmRun::scan(setup);
        r.insert(QStringLiteral("requests"), QByteArray::number(m_farm->requestCount()));
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
        const QString project = folder + QStringLiteral("/farm.prj");
        writeFarmProject(layout, project);

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
            QFile original(project);
            QVERIFY(original.open(QIODevice::ReadOnly));
            QVERIFY(one.value(QStringLiteral("out.prj")) != original.readAll());
            QCOMPARE(one.value(QStringLiteral("exit status")), QByteArray("1"));
            QVERIFY(tab.contains("nofollow") || tab.contains("blocked by robots.txt"));
        }

        QCOMPARE(one.value(QStringLiteral("program folder")),
                 QByteArray("filetypes.txt html0.txt html20.txt") + (seed ? " rules.log" : "") + " tempreport.html");
        for (int n : {8, 32}) {
            RunFiles many = scan(project, n);
            // Sites asked for their next page ahead and read their robots.txt
            // beside the first page (at most one of each a site, which count
            // nowhere); a site redone for an answer that could not matter
            // would fetch its pages twice.
            const qint64 extra = many.take(QStringLiteral("requests")).toLongLong()
                               - one.value(QStringLiteral("requests")).toLongLong();
            QVERIFY2(extra <= 2 * farmSiteCount(layout), qPrintable(QStringLiteral("%1 requests more").arg(extra)));
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
        main.linkingSites.append(farmSite(SiteFarmServer::hostName(0)));
        SiteFarmServer::Answer linked;
        linked.body = "<a href=\"http://www.mysite1.com/links.htm\">friend</a>";
        for (int i = 0; i < 40; ++i) {
            const QByteArray path = "/quick" + QByteArray::number(i) + "/";
            m_farm->setPage(1 + i % 4, path, linked);
            main.linkingSites.append(farmSite(SiteFarmServer::hostName(1 + i % 4) + QString::fromLatin1(path)));
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
