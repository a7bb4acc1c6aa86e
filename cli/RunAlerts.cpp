#include "RunAlerts.h"

#include "alerts/AlertDispatch.h"
#include "alerts/DesktopNotifier.h"
#include "model/Project.h"
#include "outputs/Report.h"

#include <cstdio>

void sendRunAlerts(Project &project, const QString &projectPath, const QDateTime &started, const QDateTime &finished,
                   const RunChanges &changes, qint64 pagesScanned, const ReportChanges *reportChanges)
{
    RunAlert alert;
    alert.projectPath = projectPath;
    alert.started = started;
    alert.finished = finished;
    alert.changes = changes;
    if (!alert.hasChanges())
        return;
    const AlertSettings settings = AlertSettings::fromSettings();
    AlertChannels channels;
    channels.notification = sessionBusExists();
    if (settings.wantsMail())
        alert.reportHtml = buildReportHtml(project, pagesScanned, finished, QLocale::system(), reportChanges);
    const AlertOutcome outcome = sendAlert(alert, settings, DeliveryPolicy(), channels);
    for (const ErrorEntry &e : outcome.errors) {
        project.appendError(e);
        std::fprintf(stderr, "reciplex-scan: warning: %s (%s)\n", e.error.toLocal8Bit().constData(),
                     e.url.toLocal8Bit().constData());
    }
}
