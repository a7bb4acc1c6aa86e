// Stored option values that are not what their readers expect (an index
// outside its list, a time-out of letters or beyond 16 bits, a check-box
// state of "2") must act as the key's default, in every reader of a scan.
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/Sounds.h"
#include "support/ScriptedScanRig.h"

#include <QtTest>

static void set(const QString &key, const QString &value)
{
    SettingsStore::instance().write(key, value);
}

static const QByteArray kOkHead = "HTTP/1.1 200 OK\r\n\r\n";

class TestSettingsFallback : public QObject
{
    Q_OBJECT
private slots:
    void rangedNumbersFallBack()
    {
        TestEnv env;
        SettingsStore &s = SettingsStore::instance();
        set(Keys::cmbAdvance, QStringLiteral("99"));
        QCOMPARE(s.readInt(Keys::cmbAdvance, PageLimits::defaultIndex, 0, PageLimits::count - 1), 4);
        set(Keys::cmbAdvance, QStringLiteral("12"));
        QCOMPARE(s.readInt(Keys::cmbAdvance, PageLimits::defaultIndex, 0, PageLimits::count - 1), 12);
        QCOMPARE(PageLimits::limitForIndex(99), 500);
        QCOMPARE(PageLimits::limitForIndex(-1), 500);
        QCOMPARE(PageLimits::limitForIndex(0), 1);
    }

    void timeOutThatIsNotASixteenBitNumber_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("timeOut");
        QTest::newRow("letters") << "abc" << 60;
        QTest::newRow("beyond 16 bits") << "40000" << 60;
        QTest::newRow("beyond 32 bits") << "99999999999" << 60;
        QTest::newRow("empty") << "" << 60;
        QTest::newRow("spaces around") << " 7 " << 7;
        QTest::newRow("negative") << "-3" << -3;
    }
    void timeOutThatIsNotASixteenBitNumber()
    {
        QFETCH(QString, stored);
        QFETCH(int, timeOut);
        ScriptedScanRig rig;
        rig.server.setReply(ScriptedReply::silent());
        rig.addSite(QStringLiteral("127.0.0.1/"));
        set(Keys::txtTimeout, stored);
        rig.engine.startScan();
        QVERIFY(rig.engine.isScanning());
        QCOMPARE(rig.engine.timeOutInEffect(), timeOut);
        rig.engine.stopScan();
    }

    // "2" is no check-box state: each scan reader acts on its default (on).
    void checkBoxStateTwoActsAsTheDefault()
    {
        ScriptedScanRig rig;
        for (const QString &key : {Keys::chkAuto, Keys::chkAuto2, Keys::chkFileTypes, Keys::chkUpdate,
                                   Keys::chkRedirect, Keys::chkAudioEmail, Keys::chkAudioNext, Keys::chkAudioFinished})
            set(key, QStringLiteral("2"));
        set(Keys::chkLog, QStringLiteral("2")); // off by default
        QStringList played;
        Sounds::setPlayer([&](const QString &path) { played << QFileInfo(path).fileName(); });
        for (const char *wav : {"sounds/foundemail.wav", "sounds/nextsearch.wav", "sounds/finished.wav"})
            rig.env.writeFile(QString::fromLatin1(wav), "RIFF");
        rig.project.appendRule({kGlobalScope, kGlobalScope, RuleType::ExcludeString, QStringLiteral("never")});

        // Site 1: the page filter keeps "a.php" out, the rule "never.html";
        // "b.html" holds the link, after which the site is left at once
        // (chkAuto2) although "c.html" is queued. Site 2 only
        // mentions the Main Site: a Redirect Link (chkRedirect).
        rig.server.addReply(ScriptedReply::whole(kOkHead + "<a href=\"a.php\">a</a><a href=\"never.html\">n</a>"
                                                 + "<a href=\"b.html\">b</a>"));
        rig.server.addReply(ScriptedReply::whole(kOkHead + "<a href=\"c.html\">c</a>"
                                                 + "<a href=\"http://www.mysite.com/links.htm\">x</a>"));
        rig.server.addReply(ScriptedReply::whole(kOkHead + "see www.mysite.com/links.htm"));
        rig.addSite(QStringLiteral("127.0.0.1/one/"));
        rig.addSite(QStringLiteral("127.0.0.1/two/"));
        QVERIFY(rig.run(10000));
        Sounds::setPlayer({});

        QCOMPARE(rig.requestedPaths(), (QStringList{"/one/", "/one/b.html", "/two/"}));
        QCOMPARE(rig.rows(), (QStringList{"Direct Link|001|127.0.0.1|127.0.0.1/one/b.html",
                                          "Redirect Link|001|127.0.0.1|127.0.0.1/two"}));
        // chkUpdate: the Linking Site URLs now name the pages found.
        QCOMPARE(rig.project.linkingSites(rig.main).at(0).url, QStringLiteral("127.0.0.1/one/b.html"));
        QCOMPARE(rig.project.linkingSites(rig.main).at(1).url, QStringLiteral("127.0.0.1/two"));
        QVERIFY(played.contains(QStringLiteral("foundemail.wav")));
        QVERIFY(played.contains(QStringLiteral("nextsearch.wav")));
        QCOMPARE(played.last(), QStringLiteral("finished.wav"));
        QVERIFY(!QFile::exists(rig.env.path(QStringLiteral("rules.log"))));
    }

    // The redirect option is read in two places, at the end of a page and at
    // the end of the site; both must read a value the same way.
    void redirectOptionReadAlikeAtPageAndSiteEnd()
    {
        ScriptedScanRig rig;
        set(Keys::chkRedirect, QStringLiteral(" 0"));
        rig.server.addReply(ScriptedReply::whole(kOkHead + "see www.mysite.com/links.htm <a href=\"b.html\">b</a>"));
        rig.server.addReply(ScriptedReply::whole(kOkHead + "nothing"));
        rig.addSite(QStringLiteral("127.0.0.1/"));
        QVERIFY(rig.run(10000));
        // Off: the mention neither ends the site early nor makes a Redirect Link.
        QCOMPARE(rig.requestedPaths(), (QStringList{"/", "/b.html"}));
        QCOMPARE(rig.rows(), QStringList{"None Found (Possible Redirected URL)|000|127.0.0.1|127.0.0.1"});
    }
};

QTEST_GUILESS_MAIN(TestSettingsFallback)
#include "tst_settingsfallback.moc"
