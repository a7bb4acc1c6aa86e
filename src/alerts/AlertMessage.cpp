#include "alerts/AlertMessage.h"

#include "history/ChangeJson.h"
#include "history/ChangeText.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace AlertMessage {

namespace {

QString projectName(const RunAlert &alert)
{
    const QString name = QFileInfo(alert.projectPath).fileName();
    return name.isEmpty() ? QStringLiteral("a project never saved") : name;
}

QString plainTime(const QDateTime &time)
{
    return time.isValid() ? QLocale::c().toString(time, QStringLiteral("yyyy-MM-dd HH:mm:ss t")) : QString();
}

// Kinds in the order they first appear, with their counts.
QList<QPair<QString, int>> kindCounts(const RunChanges &changes)
{
    QList<QPair<QString, int>> counts;
    for (const SiteChange &c : changes.changes) {
        const QString kind = ChangeText::kindName(c.kind);
        auto it = std::find_if(counts.begin(), counts.end(), [&](const auto &p) { return p.first == kind; });
        if (it == counts.end())
            counts.append({kind, 1});
        else
            ++it->second;
    }
    return counts;
}

QString changesWord(qsizetype n)
{
    return n == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(n);
}

} // namespace

QString countsText(const RunChanges &changes)
{
    QStringList parts;
    for (const auto &[kind, n] : kindCounts(changes))
        parts << QStringLiteral("%1 %2").arg(n).arg(kind);
    return parts.join(QStringLiteral(", "));
}

QByteArray webhookJson(const RunAlert &alert)
{
    // Every kind the history knows, so a receiver finds its member even at 0.
    QJsonObject counts;
    for (ChangeKind kind : kAllChangeKinds)
        counts.insert(ChangeText::kindName(kind), 0);
    for (const auto &[kind, n] : kindCounts(alert.changes))
        counts.insert(kind, n);
    const QJsonObject document{
        {"formatVersion", kWebhookFormatVersion},
        {"test", alert.test},
        {"project", alert.projectPath.isEmpty() ? QString() : QFileInfo(alert.projectPath).absoluteFilePath()},
        {"started", alert.started.isValid() ? QJsonValue(ChangeJson::isoTime(alert.started)) : QJsonValue()},
        {"finished", alert.finished.isValid() ? QJsonValue(ChangeJson::isoTime(alert.finished)) : QJsonValue()},
        {"changesSince", alert.changes.hasPrevious() ? ChangeJson::historyTime(alert.changes.previousStarted)
                                                     : QJsonValue(QJsonValue::Null)},
        {"summary", subject(alert)},
        {"counts", counts},
        {"changes", ChangeJson::changeArray(alert.changes.changes)},
    };
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

QString subject(const RunAlert &alert)
{
    return QStringLiteral("Reciplex%1: %2 in %3 (%4)")
        .arg(alert.test ? QStringLiteral(" test alert") : QString(), changesWord(alert.changes.changes.size()),
             projectName(alert), countsText(alert.changes));
}

QString mailText(const RunAlert &alert)
{
    QString text;
    if (alert.test)
        text += QStringLiteral("This is a test alert sent from the Alerts options; the change below is made up.\n\n");
    text += QStringLiteral("Project:  %1\n").arg(alert.projectPath);
    text += QStringLiteral("Started:  %1\nFinished: %2\n").arg(plainTime(alert.started), plainTime(alert.finished));
    if (alert.changes.hasPrevious())
        text += QStringLiteral("Compared with the run of %1\n").arg(plainTime(alert.changes.previousStarted.toLocalTime()));
    text += QStringLiteral("\n%1: %2\n").arg(changesWord(alert.changes.changes.size()), countsText(alert.changes));
    for (const SiteChange &c : alert.changes.changes) {
        text += QStringLiteral("\n%1  %2  %3\n").arg(ChangeText::kindName(c.kind), c.now.mainSite, c.now.url);
        text += QStringLiteral("  before: %1\n  now:    %2\n").arg(ChangeText::before(c), ChangeText::describe(c.now));
    }
    if (!alert.reportHtml.isEmpty())
        text += QStringLiteral("\nThe report of the scan is attached.\n");
    return text;
}

QString notificationTitle(const RunAlert &alert)
{
    return QStringLiteral("%1 in %2").arg(changesWord(alert.changes.changes.size()), projectName(alert));
}

QString notificationBody(const RunAlert &alert)
{
    // A notification shows a few lines: the counts, then the first changes.
    constexpr int shown = 5;
    QStringList lines{countsText(alert.changes)};
    for (const SiteChange &c : alert.changes.changes.mid(0, shown))
        lines << QStringLiteral("%1: %2").arg(ChangeText::kindName(c.kind), c.now.url);
    if (alert.changes.changes.size() > shown)
        lines << QStringLiteral("and %1 more").arg(alert.changes.changes.size() - shown);
    return lines.join(QLatin1Char('\n'));
}

RunAlert testAlert(const QString &projectPath)
{
    RunAlert alert;
    alert.test = true;
    alert.projectPath = projectPath;
    alert.finished = QDateTime::currentDateTime();
    alert.started = alert.finished.addSecs(-60);
    alert.changes.runId = 2;
    alert.changes.previousRunId = 1;
    alert.changes.previousStarted = alert.started.addDays(-1).toUTC();
    SiteChange change;
    change.kind = ChangeKind::Lost;
    change.checkedBefore = true;
    change.beforeRun = 1;
    change.beforeStarted = alert.changes.previousStarted;
    change.before.mainSite = change.now.mainSite = QStringLiteral("mysite.example/links.htm");
    change.before.host = change.now.host = QStringLiteral("partner.example");
    change.before.url = change.now.url = QStringLiteral("partner.example");
    change.before.status = QStringLiteral("Direct Link");
    change.before.links = 1;
    change.before.foundOn = QStringLiteral("partner.example/links.htm");
    change.now.status = QStringLiteral("None Found");
    change.now.foundOn = QStringLiteral("partner.example");
    alert.changes.changes << change;
    return alert;
}

} // namespace AlertMessage
