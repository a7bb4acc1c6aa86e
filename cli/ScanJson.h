#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "ScanJournal.h"
#include "ScanRun.h"
#include "history/HistoryTypes.h"

class Project;
class ScanRun;

// The finished scan as one JSON document (the schema is in README.md):
// the project, when the scan ran, the settings in effect, every Linking
// Site with its rows and errors, the whole errors list, the exit status, and
// the changes since the previous run of the history.
struct ScanJsonInput
{
    QString projectPath;
    QDateTime started;
    QDateTime finished;
    QJsonObject settings;
    const ScanJournal *journal = nullptr;
    const Project *project = nullptr;
    const ScanRun *engine = nullptr;
    int exitStatus = 0;
    QString historyPath;                 // "" without a history
    const RunChanges *changes = nullptr; // the stored run's; nullptr when none was stored
};

inline constexpr int kScanJsonVersion = 1;

// The options the scan ran with: the command line's choices and every
// scanning option as the engine read it, after --set.
QJsonObject scanSettingsInEffect(const ScanRunOptions &options, const ScanRun &engine);
QByteArray scanJson(const ScanJsonInput &input);
// Writes the document to path, or to stdout for "-".
bool writeScanJson(const QByteArray &json, const QString &path, QString *error);
