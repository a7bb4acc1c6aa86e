#pragma once

#include "outputs/Report.h"

#include <QWidget>

#include <functional>
#include <optional>

class DialogService;
class Project;
class QPushButton;
class BrowserView;

// The "Reports" tab: the report browser and, drawn in front of it, "Save
// Report As" (`Command8`) and "Save Tab Delimited" (`Command8a`). Selecting
// the tab rebuilds nothing: the browser shows what it last loaded,
// "about:blank" at first.
class ReportsPanel : public QWidget
{
    Q_OBJECT
public:
    // pagesScanned: the pages-scanned counter of the current run.
    ReportsPanel(Project &project, DialogService &dialogs, std::function<qint64()> pagesScanned,
                 QWidget *parent = nullptr);

    // Builds the report of the project as it is now, replaces tempreport.html
    // and shows it: what a scan stop and a project read do. When the file
    // cannot be written the browser keeps the last report and the caller goes
    // on; returns false then.
    bool rebuildReport();
    // Where the report finds the changes since the previous run, if any.
    using ChangesSource = std::function<std::optional<ReportChanges>()>;
    void setChangesSource(ChangesSource source) { m_changes = std::move(source); }
    // Shows a report file already written.
    void showReport(const QString &path);

    void saveReportAs();
    void saveTabDelimited();

    BrowserView *browser() const { return m_browser; }
    // The last address the browser was sent to ("about:blank", a file URL).
    QString requestedUrl() const;
    QPushButton *saveReportButton() const { return m_saveReport; }
    QPushButton *saveTabButton() const { return m_saveTab; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    bool askOverwrite(const QString &path);

    Project &m_project;
    DialogService &m_dialogs;
    std::function<qint64()> m_pagesScanned;
    ChangesSource m_changes;
    BrowserView *m_browser = nullptr;
    QPushButton *m_saveReport = nullptr;
    QPushButton *m_saveTab = nullptr;
};
