#include "outputs/widgets/ReportsPanel.h"

#include "model/Project.h"
#include "outputs/DialogFilter.h"
#include "outputs/Report.h"
#include "outputs/TabExport.h"
#include "ui/BrowserView.h"
#include "ui/DialogService.h"

#include <QPushButton>
#include <QResizeEvent>
#include <QUrl>

ReportsPanel::ReportsPanel(Project &project, DialogService &dialogs, std::function<qint64()> pagesScanned,
                           QWidget *parent)
    : QWidget(parent), m_project(project), m_dialogs(dialogs), m_pagesScanned(std::move(pagesScanned))
{
    m_browser = BrowserView::create(this);
    m_browser->setObjectName(QStringLiteral("brwReport"));

    // The buttons are children of the panel, raised above the browser, in a
    // band of their own across its top: however narrow the tab, they never
    // cover the report's heading.
    m_saveReport = new QPushButton(QStringLiteral("Save Report As"), this);
    m_saveReport->setObjectName(QStringLiteral("Command8"));
    m_saveTab = new QPushButton(QStringLiteral("Save Tab Delimited"), this);
    m_saveTab->setObjectName(QStringLiteral("Command8a"));
    m_saveReport->raise();
    m_saveTab->raise();
    connect(m_saveReport, &QPushButton::clicked, this, &ReportsPanel::saveReportAs);
    connect(m_saveTab, &QPushButton::clicked, this, &ReportsPanel::saveTabDelimited);

    m_browser->navigate(QStringLiteral("about:blank"));
}

void ReportsPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int margin = 4;
    const int gap = 6;
    const QSize a = m_saveReport->sizeHint();
    const QSize b = m_saveTab->sizeHint();
    const int band = qMax(a.height(), b.height()) + 2 * margin;
    m_browser->setGeometry(0, band, width(), qMax(0, height() - band));
    // Right-aligned; when the tab is narrower than both, from the left edge.
    const int left = qMax(margin, width() - margin - b.width() - gap - a.width());
    m_saveReport->setGeometry(left, margin, a.width(), a.height());
    m_saveTab->setGeometry(left + a.width() + gap, margin, b.width(), b.height());
}

QString ReportsPanel::requestedUrl() const
{
    return m_browser->requestedUrl();
}

bool ReportsPanel::rebuildReport()
{
    const std::optional<ReportChanges> changes = m_changes ? m_changes() : std::nullopt;
    const QString path =
        buildReport(m_project, m_pagesScanned ? m_pagesScanned() : 0, nullptr, changes ? &*changes : nullptr);
    if (path.isEmpty())
        return false;
    showReport(path);
    return true;
}

void ReportsPanel::showReport(const QString &path)
{
    // Sent again to the same file, the browser loads it afresh.
    m_browser->navigate(QUrl::fromLocalFile(path).toString());
}

bool ReportsPanel::askOverwrite(const QString &)
{
    return m_dialogs.message(this, kOverwriteQuestion, QString(), DialogService::Buttons::OkCancel)
        == DialogService::Answer::Ok;
}

void ReportsPanel::saveReportAs()
{
    const QString name = m_dialogs.saveFile(this, QString(), QString(), dialogFilter(kReportSaveFilter));
    const ReportSaveOutcome out =
        ::saveReportAs(name, [this](const QString &path) { return askOverwrite(path); });
    if (out.kind == SaveOutcome::Failed)
        m_dialogs.message(this, out.errorMessage);
}

void ReportsPanel::saveTabDelimited()
{
    const QString name = m_dialogs.saveFile(this, QString(), QString(), dialogFilter(kTabSaveFilter));
    const SaveOutcome out = ::saveTabDelimited(m_project.results(), name,
                                               [this](const QString &path) { return askOverwrite(path); });
    if (out.kind == SaveOutcome::Failed)
        m_dialogs.message(this, out.errorMessage);
}
