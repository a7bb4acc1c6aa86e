#pragma once

#include "history/HistoryTypes.h"
#include "model/Project.h"
#include "scan/ScanFrontEnd.h"
#include "ui/AboutBox.h"
#include "ui/WebsiteWindow.h"

#include <QDateTime>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>

class AlertWorker;
class BrowserView;
class ScheduleDialog;
class HistoryPanel;
class ProjectHistory;
class PageBuilderPanel;
class PostPanel;
class ProjectCommands;
class ReportsPanel;
class ResultsPanel;
class QAction;
class QActionGroup;
class QLabel;
class QProgressBar;
class QTabWidget;
class QToolButton;
class ScanRun;
class StatisticsPanel;
class WebTab;
class WebsitesPanel;

// The whole working surface: toolbar, "Websites" panel, "Link Results" tabs,
// "Scan Progress and Statistics", progress bar, status bar and menus. It owns
// the one Project and the one ScanRun and is the engine's front end.
class MainWindow : public QMainWindow, public ScanFrontEnd
{
    Q_OBJECT
public:
    enum Tab { LinksTab, WebTabIndex, PagesTab, ReportsTab, PostTab, HistoryTab };

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Loading the window: restores the settings, reopens the last project,
    // opens the help file at the first start and sends the browsers to their
    // first pages.
    void startUp();

    Project &project() { return m_project; }
    ScanRun &engine() { return *m_engine; }
    WebsitesPanel *websites() const { return m_websites; }
    QTabWidget *tabs() const { return m_tabs; }
    WebTab *webTab() const { return m_webTab; }
    BrowserView *reportBrowser() const { return m_reportBrowser; }
    ResultsPanel *resultsPanel() const { return m_resultsPanel; }
    ReportsPanel *reportsPanel() const { return m_reportsPanel; }
    PageBuilderPanel *pageBuilderPanel() const { return m_pageBuilder; }
    PostPanel *postPanel() const { return m_postPanel; }
    HistoryPanel *historyPanel() const { return m_historyPanel; }
    ProjectHistory &history() { return *m_history; }
    WebsiteWindow *websiteWindow() const { return m_websiteWindow; }
    ProjectCommands *projectCommands() const { return m_commands; }
    QString statusText(int panel) const;
    QProgressBar *progressBar() const { return m_progress; }
    int pageLimit() const;

    // Shows a page in the "Web" tab: the tab selected, the address in txtURL,
    // the browser silent, then the navigation.
    void openInWebTab(const QString &url);
    void openWebsiteWindow();
    void showAbout();
    void showOptions();
    // The Project menu: "Schedule…" and "Alerts…".
    void showSchedule();
    void showAlertOptions();
    ScheduleDialog *scheduleDialog() const;
    AlertWorker *alertWorker() const { return m_alerts; }
    void chooseScanType(int index);
    // The splash window stays hidden until the program ends.
    void setSplash(QWidget *splash) { m_splash = splash; }
    // What ends the program (tests record it instead).
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }

    // --- ScanFrontEnd ---
    void setStatusText(int panel, const QString &text) override;
    void setProgress(int percent) override;
    void setProgressToMaximum() override;
    void setControls(Controls state) override;
    void selectMainSite(int mainPos) override;
    void selectLinkingSite(int mainPos, int row) override;
    void sitesInFlight(const QList<QPair<int, int>> &sites) override;
    void statisticsChanged(const ScanStatistics &stats) override;
    void queueAppended(const QString &url) override;
    void queuePopped() override;
    void queueCleared() override;
    void showMessage(const QString &text) override;
    void focusEntry(Entry entry) override;
    void linkingSiteConcluded(const SiteConclusion &site) override;
    void scanStopped() override;
    int selectedMainSite() const override;
    int firstSelectedLinkingSite() const override;

signals:
    // The report is rebuilt: after a complete project read, after the
    // snapshot rebuild and when a scan stops.
    void reportRebuildRequested();
    // A tab was selected (the choosers of the Pages and Post tabs are already refilled).
    void tabSelected(int index);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildToolbar();
    void buildMenus();
    QWidget *buildLinkResults();
    void buildStatusBar();
    void restoreSettings();
    void tabChanged(int index);
    void showInWebTab(const QString &url);
    void openImportWindow(bool mainSites);
    void sizeColumnsOnce();
    void websiteWindowClosed();
    void connectHistory();
    void showHistoryOf();
    void sendRunAlerts(const RunChanges &changes);

    Project m_project;
    std::unique_ptr<ScanRun> m_engine;
    ProjectCommands *m_commands = nullptr;
    WebsitesPanel *m_websites = nullptr;
    QTabWidget *m_tabs = nullptr;
    WebTab *m_webTab = nullptr;
    BrowserView *m_reportBrowser = nullptr;
    ResultsPanel *m_resultsPanel = nullptr;
    ReportsPanel *m_reportsPanel = nullptr;
    PageBuilderPanel *m_pageBuilder = nullptr;
    PostPanel *m_postPanel = nullptr;
    std::unique_ptr<ProjectHistory> m_history;
    HistoryPanel *m_historyPanel = nullptr;
    StatisticsPanel *m_statistics = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_panels[4] = {};
    QWidget *m_toolStrip = nullptr;
    QToolButton *m_start = nullptr, *m_scanTypeArrow = nullptr, *m_skip = nullptr, *m_stop = nullptr,
                *m_options = nullptr, *m_open = nullptr, *m_save = nullptr, *m_new = nullptr, *m_website = nullptr;
    QAction *m_newAction = nullptr, *m_openAction = nullptr, *m_saveAction = nullptr;
    QActionGroup *m_scanTypes = nullptr;
    QPointer<WebsiteWindow> m_websiteWindow;
    QPointer<AboutBox> m_about;
    QPointer<ScheduleDialog> m_schedule;
    AlertWorker *m_alerts = nullptr;
    QDateTime m_scanStarted;
    QPointer<QWidget> m_splash;
    std::function<void()> m_quit;
    bool m_bSized = false;
    bool m_mainClosed = false;
};
