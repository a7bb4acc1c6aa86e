#include "HistoryReset.h"

#include "history/HistoryFile.h"
#include "history/ProjectHistory.h"

#include <QFileInfo>

#include <cstdio>

namespace {

void printErr(const QString &text)
{
    std::fprintf(stderr, "reciplex-scan: %s\n", text.toLocal8Bit().constData());
}

QString historyOf(const ScanRunOptions &o)
{
    return o.historyPath.isEmpty() ? ProjectHistory::pathFor(o.projectPath) : o.historyPath;
}

} // namespace

QString historyResetHint(const ScanRunOptions &o)
{
    const QString options = o.historyPath.isEmpty() ? QString() : QStringLiteral(" --history ") + o.historyPath;
    return QStringLiteral("'reciplex-scan --history-reset%1 %2' moves it aside as %3 and the next run starts a new history")
        .arg(options, o.projectPath, historyOf(o) + QStringLiteral(".damaged-YYYYMMDD-HHMMSS"));
}

int runHistoryReset(const ScanRunOptions &o)
{
    const QString path = historyOf(o);
    if (!QFileInfo::exists(path)) {
        printErr(QStringLiteral("there is no history %1").arg(path));
        return ExitCannotStart;
    }
    QString reason;
    if (!HistoryFile::isDamaged(path, &reason)) {
        printErr(QStringLiteral("the history %1 is not damaged: it was left as it is").arg(path));
        return ExitCannotStart;
    }
    QString movedTo, error;
    if (!HistoryFile::moveAside(path, &movedTo, &error)) {
        printErr(QStringLiteral("cannot move the history %1 aside: %2").arg(path, error));
        return ExitCannotStart;
    }
    std::printf("%s\n", QStringLiteral("The damaged history (%1) is now %2; the next run starts a new history.")
                            .arg(reason, movedTo).toLocal8Bit().constData());
    return ExitAllLinked;
}
