#include "settings/FileTypes.h"
#include "settings/ProgramFolder.h"
#include "settings/ProofPictures.h"
#include "settings/SettingsStore.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
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
        QCOMPARE(ProofPictures::windowFolder(), env.programFolder() + "/Proof");
        QCOMPARE(ProofPictures::filePath("/p", "WWW.MySite.com", "127.0.0.1:8080"), QString("/p/www.mysite.com/127.0.0.1_8080.png"));
        QCOMPARE(ProofPictures::filePath("/p", "..", "a/../b"), QString("/p/_/a_.._b.png"));
    }

    // Where the program's files go for an executable in "exe": the build
    // tree keeps everything beside it; an installed program (shipped files in
    // share/reciplex, even in a folder it could write, as root) or one in a
    // folder it cannot write uses the user's data and documents folders.
    void programFolderLayout_data()
    {
        QTest::addColumn<bool>("helpBeside");
        QTest::addColumn<bool>("installedFiles");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("projectFilesInDocuments");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("shipped");
        QTest::addColumn<QString>("projectFiles");
        QTest::addColumn<QString>("userFiles");
        QTest::newRow("build tree") << true << false << true << false << "exe" << "exe" << "exe/Project Files" << "exe";
        QTest::newRow("build tree beside an install")
            << true << true << true << false << "exe" << "exe" << "exe/Project Files" << "exe";
        QTest::newRow("installed, writable bin") << false << true << true << false << "data" << "share" << "docs" << "docs";
        QTest::newRow("installed") << false << true << false << false << "data" << "share" << "docs" << "docs";
        QTest::newRow("installed, Project Files made")
            << false << true << false << true << "data" << "share" << "docs/Project Files" << "docs";
        QTest::newRow("copy in a read-only folder") << true << false << false << false << "data" << "exe" << "docs" << "docs";
        QTest::newRow("bare executable") << false << false << true << false << "exe" << "exe" << "exe/Project Files" << "exe";
    }

    void programFolderLayout()
    {
        QFETCH(bool, helpBeside);
        QFETCH(bool, installedFiles);
        QFETCH(bool, writable);
        QFETCH(bool, projectFilesInDocuments);
        QTemporaryDir dir;
        QDir root(dir.path());
        const QString exe = root.filePath("prefix/bin");
        const QString share = QDir::cleanPath(exe + "/" RECIPLEX_SHIPPED_FROM_BIN);
        QVERIFY(root.mkpath(exe) && root.mkpath("docs") && root.mkpath("data"));
        if (helpBeside)
            QVERIFY(QFile(exe + "/Help.html").open(QIODevice::WriteOnly));
        if (installedFiles)
            QVERIFY(root.mkpath(share + "/sounds"));
        if (projectFilesInDocuments)
            QVERIFY(root.mkpath("docs/Project Files"));
        // "exe/Project Files" is that file in the executable's folder, and so on.
        const auto place = [&](const QString &name) {
            const QString head = name.section('/', 0, 0);
            const QString rest = name.mid(head.size());
            return (head == "exe" ? exe : head == "share" ? share : root.filePath(head)) + rest;
        };

        const ProgramFolder::Layout l = ProgramFolder::layoutFor(exe, writable, root.filePath("data"), root.filePath("docs"));
        QFETCH(QString, program);
        QFETCH(QString, shipped);
        QFETCH(QString, projectFiles);
        QFETCH(QString, userFiles);
        QCOMPARE(l.programFolder, place(program));
        QCOMPARE(l.shippedFolder, place(shipped));
        QCOMPARE(l.projectFiles, place(projectFiles));
        QCOMPARE(l.userFiles, place(userFiles));
        QCOMPARE(l.inUserData, program == "data");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
