#include "settings/FileTypes.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsStore.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSettings>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void readWriteWithoutRegardToCase()
    {
        TestEnv env;
        SettingsStore &s = SettingsStore::instance();
        QCOMPARE(s.read("chkLog", "0"), QString("0"));
        s.write("ChkLog", "1");
        QCOMPARE(s.read("chklog", "0"), QString("1"));
        s.write("CHKLOG", "0");
        QCOMPARE(s.read("chkLog", "1"), QString("0"));
        s.sync();
        // One key on disk, under its first spelling; a fresh store reads it back.
        s.reload();
        QCOMPARE(s.read("chkLOG", "x"), QString("0"));
        QSettings raw(QSettings::IniFormat, QSettings::UserScope, "Reciplex", "Reciplex");
        raw.beginGroup("Settings");
        QCOMPARE(raw.childKeys(), QStringList{"ChkLog"});
    }

    void storedDifferentCaseIsFound()
    {
        TestEnv env;
        {
            QSettings raw(QSettings::IniFormat, QSettings::UserScope, "Reciplex", "Reciplex");
            raw.beginGroup("Settings");
            raw.setValue("TXTTIMEOUT", "30");
        }
        SettingsStore::instance().reload();
        QCOMPARE(SettingsStore::instance().read("txtTimeout", "60"), QString("30"));
    }

    void lineBreaksRoundTrip()
    {
        TestEnv env;
        const QString text = "<p>\r\nline two\nthree\r|||";
        SettingsStore::instance().write("txtHTML1", text);
        SettingsStore::instance().sync();
        SettingsStore::instance().reload();
        QCOMPARE(SettingsStore::instance().read("txtHTML1", ""), text);
    }

    void numbersThatDoNotConvertFallBack()
    {
        TestEnv env;
        SettingsStore &s = SettingsStore::instance();
        s.write("txtTimeout", "abc");
        s.write("chkAuto", "2");
        s.write("cmbAdvance", " 7 ");
        QCOMPARE(s.readInt("txtTimeout", 60), 60);
        QCOMPARE(s.readFlag("chkAuto", true), true);
        QCOMPARE(s.readInt("cmbAdvance", 4), 7);
    }

    void overridesAreNotStored()
    {
        TestEnv env;
        SettingsStore &s = SettingsStore::instance();
        s.write("chkLog", "0");
        s.setOverride("CHKLOG", "1");
        QCOMPARE(s.read("chkLog", "0"), QString("1"));
        s.write("chkLog", "5");
        QCOMPARE(s.read("chkLog", "0"), QString("5"));
        s.clearOverrides();
        QCOMPARE(s.read("chkLog", "9"), QString("0"));
    }

    void fileTypesLineRules()
    {
        TestEnv env;
        env.writeFile("filetypes.txt", ".htm\r\n\r\n \r\n  \r\n.php|.asp\n.html\r.txt");
        QCOMPARE(FileTypes::readList(), (QStringList{".htm", "  ", ".php|.asp", ".html", ".txt"}));
        QCOMPARE(FileTypes::scanPatterns(), (QStringList{".htm", "  ", ".php", ".asp", ".html", ".txt"}));
        QVERIFY(FileTypes::writeList({".a", ".b"}));
        QCOMPARE(env.readFile("filetypes.txt"), QByteArray(".a\r\n.b\r\n"));
        QVERIFY(FileTypes::writeList({}));
        QCOMPARE(env.readFile("filetypes.txt"), QByteArray());
        QVERIFY(FileTypes::readList().isEmpty());
        QFile::remove(env.path("filetypes.txt"));
        QVERIFY(FileTypes::scanPatterns().isEmpty());
    }

    void programFolderPaths()
    {
        TestEnv env;
        QCOMPARE(ProgramFolder::filePath("sounds\\finished.wav"), env.programFolder() + "/sounds/finished.wav");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
