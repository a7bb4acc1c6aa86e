#pragma once

#include "history/HistoryTypes.h"

#include <QDateTime>

class Project;
struct ReportChanges;

// After a headless run with changes, and only then: the alerts the settings
// ask for (webhook, e-mail, and a desktop notification when a session bus is
// there). What could not be delivered is added to the project's errors and
// said on stderr; the scan's outcome stays what it was.
void sendRunAlerts(Project &project, const QString &projectPath, const QDateTime &started, const QDateTime &finished,
                   const RunChanges &changes, qint64 pagesScanned, const ReportChanges *reportChanges);
