#include "history/ProjectHistory.h"

#include "history/HistoryDatabase.h"
#include "history/RunCapture.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

ProjectHistory::ProjectHistory() = default;
ProjectHistory::~ProjectHistory() = default;

QString ProjectHistory::pathFor(const QString &projectPath)
{
    if (projectPath.isEmpty())
        return QString();
    const QFileInfo info(projectPath);
    const QString name = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(name + QStringLiteral(".history.sqlite"));
}

void ProjectHistory::setPath(const QString &historyPath)
{
    m_db.reset();
    m_path = historyPath;
    m_reportRun = -1;
    m_error.clear();
}

void ProjectHistory::scanStarted(int scanType)
{
    m_started = QDateTime::currentDateTimeUtc();
    m_scanType = scanType;
    m_settings = RunCapture::settingsInEffect();
    m_sites.clear();
}

void ProjectHistory::siteConcluded(const SiteConclusion &site)
{
    m_sites.append(RunCapture::recordOf(site));
}

HistoryDatabase *ProjectHistory::open(bool create)
{
    if (m_path.isEmpty())
        return nullptr;
    if (m_db && m_db->isOpen())
        return m_db.get();
    // Reading never leaves an empty database behind.
    if (!create && !QFileInfo::exists(m_path))
        return nullptr;
    m_db = std::make_unique<HistoryDatabase>(m_path);
    m_error = m_db->errorText();
    return m_db.get();
}

HistoryDatabase *ProjectHistory::database()
{
    HistoryDatabase *db = open(false);
    return db && db->isOpen() ? db : nullptr;
}

ProjectHistory::Outcome ProjectHistory::scanFinished()
{
    Outcome out;
    if (m_path.isEmpty()) {
        m_sites.clear();
        return out;
    }
    m_reportRun = 0;
    HistoryDatabase *db = open(true);
    if (!db->isOpen()) {
        out.error = m_error = db->errorText();
        m_db.reset(); // the next attempt opens the file anew
        return out;
    }
    RunRecord run;
    run.info.started = m_started.isValid() ? m_started : QDateTime::currentDateTimeUtc();
    run.info.finished = QDateTime::currentDateTimeUtc();
    run.info.scanType = m_scanType;
    run.info.settings = m_settings.isNull() ? RunCapture::settingsInEffect() : m_settings;
    run.sites = std::exchange(m_sites, {});
    m_started = QDateTime();
    m_settings.clear();
    const qint64 id = db->storeRun(run);
    if (id == 0) {
        out.error = m_error = db->errorText();
        return out;
    }
    m_error.clear();
    out.stored = true;
    out.changes = db->changesOf(id);
    m_reportRun = id;
    return out;
}

std::optional<ReportChanges> ProjectHistory::reportChanges()
{
    if (m_reportRun == 0)
        return std::nullopt;
    HistoryDatabase *db = database();
    if (!db)
        return std::nullopt;
    const qint64 run = m_reportRun > 0 ? m_reportRun : db->latestRunId();
    if (run <= 0)
        return std::nullopt;
    const RunChanges changes = db->changesOf(run);
    if (!changes.hasPrevious())
        return std::nullopt;
    return reportChangesOf(changes);
}

ReportChanges reportChangesOf(const RunChanges &changes)
{
    ReportChanges r;
    r.since = changes.previousStarted;
    for (const SiteChange &c : changes.changes) {
        switch (c.kind) {
        case ChangeKind::Lost:
            r.lost.append({c.now.mainSite, c.now.host, c.now.status, c.before.foundOn});
            break;
        case ChangeKind::PossiblyLost:
            r.possiblyLost.append({c.now.mainSite, c.now.host, c.now.status, c.before.foundOn});
            break;
        case ChangeKind::New:
            r.added.append({c.now.mainSite, c.now.host, c.now.status, c.now.foundOn});
            break;
        case ChangeKind::NotChecked:
            r.notChecked.append({c.now.mainSite, c.now.host, c.now.status, c.before.foundOn});
            break;
        case ChangeKind::Moved:
        case ChangeKind::NotesChanged:
        case ChangeKind::AnchorChanged:
            break;
        }
    }
    return r;
}
