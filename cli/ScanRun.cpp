#include "ScanRun.h"

#include "ErrorsFile.h"
#include "HeadlessFrontEnd.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "scan/ScanEngine.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

static void printErr(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

int runScan(const ScanRunOptions &o)
{
    SettingsStore &store = SettingsStore::instance();
    for (const QString &kv : o.settingOverrides) {
        const int eq = int(kv.indexOf(QLatin1Char('=')));
        store.setOverride(kv.left(eq), kv.mid(eq + 1));
    }
    if (!o.programFolder.isEmpty())
        ProgramFolder::setPath(o.programFolder);

    // Read as Open reads, but without remembering the file under LastProject:
    // the window's next start must not jump to a scheduled project.
    Project project;
    const ProjectFile::ReadResult read = ProjectFile::read(project, o.projectPath);
    if (!read.opened) {
        printErr(QStringLiteral("reciplex-scan: cannot open the project file %1").arg(o.projectPath));
        return ExitCannotStart;
    }
    if (!read.complete)
        printErr(QStringLiteral("reciplex-scan: warning: reading stopped at line %1 (%2); scanning what was read")
                     .arg(read.stopLineNumber)
                     .arg(read.stopLine));

    HeadlessFrontEnd frontEnd(o.quiet, o.mainSite, o.linkingSite);
    ScanEngine engine(project, frontEnd);
    engine.setPort(quint16(o.port));
    engine.setScanType(o.scanType);
    engine.setSkipType(store.readInt(Keys::SkipType, 0));
    engine.setPageLimit(PageLimits::limitForIndex(store.readInt(Keys::cmbAdvance, PageLimits::defaultIndex)));
    frontEnd.setOnStopped([] { QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit); });

    engine.startScan();
    if (!engine.isScanning() && !frontEnd.stopped()) {
        for (const QString &m : frontEnd.messages())
            printErr(QStringLiteral("reciplex-scan: ") + m);
        return ExitCannotStart;
    }
    if (!frontEnd.stopped())
        QCoreApplication::exec();
    engine.shutdown();

    bool written = true;
    QString error;
    if (!o.errorsPath.isEmpty() && !writeErrorsFile(project.errors(), o.errorsPath, &error)) {
        printErr(QStringLiteral("reciplex-scan: cannot write %1: %2").arg(o.errorsPath, error));
        written = false;
    }
    if (!o.outputPath.isEmpty() && !ProjectFile::write(project, o.outputPath, &error)) {
        printErr(QStringLiteral("reciplex-scan: cannot write %1: %2").arg(o.outputPath, error));
        written = false;
    }
    store.sync();
    if (!written)
        return ExitCannotStart;
    return frontEnd.someSiteWithoutLink() ? ExitSomeMissing : ExitAllLinked;
}
