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

    // The buttons are children of the panel raised above the browser, so
    // they float over the report's top right corner.
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
    m_browser->setGeometry(rect());
    const int margin = 8;
    const QSize a = m_saveReport->sizeHint();
    const QSize b = m_saveTab->sizeHint();
    const int right = width() - margin - 16; // clear of the browser's scroll bar
    m_saveTab->setGeometry(right - b.width(), margin, b.width(), b.height());
    m_saveReport->setGeometry(right - b.width() - 6 - a.width(), margin, a.width(), a.height());
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
