#include "support/TestEnv.h"
#include "ui/AboutBox.h"
#include "ui/BrowserView.h"
#include "ui/Identity.h"
#include "ui/SplashWindow.h"
#include "UiFind.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

// The splash window's hand-over and the About box.
class TestShell : public QObject
{
    Q_OBJECT
private slots:
    void splashHandsOverAtTheSeventyFifthTick()
    {
        int loads = 0;
        qint16 ticksAtLoad = -1;
        SplashWindow *splash = nullptr;
        SplashWindow s([&] {
            ++loads;
            ticksAtLoad = splash->ticks();
            QVERIFY(splash->isVisible()); // shown until the main window is up
        });
        splash = &s;
        s.start();
        QVERIFY(s.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(s.handedOver(), 5000);
        QCOMPARE(loads, 1);
        QCOMPARE(ticksAtLoad, qint16(150)); // 75 ticks of 2
        QVERIFY(s.isHidden());
        QTest::qWait(50);
        QCOMPARE(loads, 1); // the timer is off
        QCOMPARE(s.ticks(), qint16(150));
    }

    void aboutBoxShowsTheIdentity()
    {
        AboutBox about;
        QCOMPARE(about.windowTitle(), QString("About Reciplex"));
        QCOMPARE(about.versionText(), QString("3.0"));
        QCOMPARE(need<QLabel>(&about, "lblCompany")->text(), Identity::company());
        auto *site = need<QLabel>(&about, "lblWebsite");
        QVERIFY(site->text().contains(Identity::websiteName()));
        QSignalSpy asked(&about, &AboutBox::websiteRequested);
        emit site->linkActivated("website");
        QCOMPARE(asked.count(), 1);
    }

    void standInBrowserKeepsItsHistory()
    {
        TestEnv env;
        env.writeFile("report.html", "<html><head><title>Report</title></head><body>r</body></html>");
        BrowserView::setUseStandIn(true);
        std::unique_ptr<BrowserView> b(BrowserView::create());
        QSignalSpy done(b.get(), &BrowserView::downloadComplete);
        b->back(); // nothing yet: no error
        b->navigate("partner.example");
        b->navigate(QUrl::fromLocalFile(env.path("report.html")).toString());
        QCOMPARE(b->locationTitle(), QString("Report"));
        b->back();
        QCOMPARE(b->locationUrl(), QString("partner.example"));
        b->forward();
        QCOMPARE(b->requestedUrl(), QUrl::fromLocalFile(env.path("report.html")).toString());
        QCOMPARE(b->locationUrl(), b->requestedUrl());
        QCOMPARE(done.count(), 4);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
