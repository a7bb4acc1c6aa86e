#include "ui/MainWindow.h"

#include "alerts/AlertWorker.h"
#include "history/ChangeText.h"
#include "history/ProjectHistory.h"
#include "history/widgets/HistoryPanel.h"
#include "import/widgets/ImportWindow.h"
#include "outputs/widgets/PageBuilderPanel.h"
#include "outputs/widgets/PostPanel.h"
#include "outputs/widgets/ReportsPanel.h"
#include "outputs/Report.h"
#include "outputs/widgets/ResultsPanel.h"
#include "scan/ScanRun.h"
#include "schedule/widgets/ScheduleDialog.h"
#include "settings/ProofPictures.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/widgets/OptionsDialog.h"
#include "alerts/widgets/AlertsPage.h"
#include "ui/AboutBox.h"
#include "ui/BrowserView.h"
#include "ui/DialogService.h"
#include "ui/EntryEditor.h"
#include "ui/HelpOpener.h"
#include "ui/Identity.h"
#include "ui/ProjectCommands.h"
#include "ui/StatisticsPanel.h"
#include "ui/WebTab.h"
#include "ui/WebsiteWindow.h"
#include "ui/WebsitesPanel.h"
#include "url/UrlText.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QFrame>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), m_history(std::make_unique<ProjectHistory>()), m_quit([] { QCoreApplication::quit(); })
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(Identity::product() + tr(" by ") + Identity::company());
    m_commands = new ProjectCommands(m_project, this);

    buildToolbar();
    buildMenus();

    m_websites = new WebsitesPanel(m_project, this);
    m_statistics = new StatisticsPanel(this);
    m_statistics->setFixedHeight(170);

    // The two panels share the width: the Websites panel takes half.
    auto *panels = new QHBoxLayout;
    panels->addWidget(m_websites, 1);
    panels->addWidget(buildLinkResults(), 1);

    // The progress bar lies over the last sixth, above panel 4.
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("pb1"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(14);
    auto *progressRow = new QHBoxLayout;
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressRow->addStretch(5);
    progressRow->addWidget(m_progress, 1);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 4, 6, 0);
    layout->addWidget(m_toolStrip);
    layout->addLayout(panels, 1);
    layout->addWidget(m_statistics);
    layout->addLayout(progressRow);
    setCentralWidget(central);
    buildStatusBar();

    // The engine talks to the window from its first moment: it comes last.
    m_engine = std::make_unique<ScanRun>(m_project, *this);
    m_engine->setProofFolder(ProofPictures::windowFolder());
    connect(m_start, &QToolButton::clicked, m_engine.get(), &ScanRun::startScan);
    connect(m_skip, &QToolButton::clicked, m_engine.get(), &ScanRun::skipCurrent);
    connect(m_stop, &QToolButton::clicked, m_engine.get(), &ScanRun::stopScan);

    connect(m_websites, &WebsitesPanel::statusMessage, this, [this](const QString &t) { setStatusText(1, t); });
    connect(m_websites, &WebsitesPanel::projectRebuilt, this, &MainWindow::reportRebuildRequested);
    connect(m_commands, &ProjectCommands::fileRead, this, [this](bool complete) {
        m_websites->skipNextDomainChange();
        if (complete)
            emit reportRebuildRequested();
    });
    connect(&m_project, &Project::projectReset, this, [this] { queueCleared(); });
    connect(this, &MainWindow::reportRebuildRequested, m_reportsPanel, &ReportsPanel::rebuildReport);
    connect(m_websites, &WebsitesPanel::importMainSitesRequested, this, [this] { openImportWindow(true); });
    connect(m_websites, &WebsitesPanel::importLinkingSitesRequested, this, [this] { openImportWindow(false); });
    connectHistory();
    m_alerts = new AlertWorker(this);
    // What could not be delivered is listed with the scan's errors.
    connect(m_alerts, &AlertWorker::finished, this, [this](const AlertOutcome &outcome) {
        for (const ErrorEntry &e : outcome.errors)
            m_project.appendError(e);
    });
    resize(1280, 860);
}

MainWindow::~MainWindow()
{
    EntryEditor::closeAll();
    if (OptionsDialog::openWindow())
        OptionsDialog::openWindow()->close();
    delete m_websiteWindow.data();
    delete m_about.data();
}

static QToolButton *toolButton(QHBoxLayout *bar, const char *name, const QString &caption, const QString &tip,
                               const QIcon &icon)
{
    auto *b = new QToolButton;
    b->setAutoRaise(true);
    b->setObjectName(QLatin1String(name));
    b->setText(caption);
    b->setToolTip(tip);
    b->setIcon(icon);
    b->setIconSize(QSize(24, 24));
    b->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
    b->setMinimumWidth(caption.isEmpty() ? 20 : 64);
    bar->addWidget(b);
    return b;
}

static QFrame *separator()
{
    auto *line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

void MainWindow::buildToolbar()
{
    // A plain strip rather than a QToolBar, so the website button can stretch.
    auto *strip = new QFrame(this);
    strip->setObjectName(QStringLiteral("Toolbar1"));
    strip->setFrameShape(QFrame::StyledPanel);
    auto *bar = new QHBoxLayout(strip);
    bar->setContentsMargins(4, 2, 14, 2);
    bar->setSpacing(2);
    m_toolStrip = strip;
    QStyle *s = style();
    m_start = toolButton(bar, "Command1", tr("Start Scan"), tr("Begin searching for links"), s->standardIcon(QStyle::SP_MediaPlay));
    m_scanTypeArrow = toolButton(bar, "Command10", QString(), tr("Select scan type"), QIcon());
    m_scanTypeArrow->setArrowType(Qt::DownArrow);
    m_skip = toolButton(bar, "cmdSkip", tr("Skip"), tr("Skip the current linking site"), s->standardIcon(QStyle::SP_MediaSkipForward));
    m_stop = toolButton(bar, "cmdStop", tr("Stop"), tr("Stop scanning for links"), s->standardIcon(QStyle::SP_MediaStop));
    bar->addWidget(separator());
    m_options = toolButton(bar, "Command9", tr("Options"), tr("Open the options menu"), s->standardIcon(QStyle::SP_FileDialogDetailedView));
    bar->addWidget(separator());
    m_open = toolButton(bar, "cmdOpen", tr("Open"), tr("Open an existing project"), s->standardIcon(QStyle::SP_DialogOpenButton));
    m_save = toolButton(bar, "cmdSave", tr("Save"), tr("Save this project to a file so that you can run it any time"),
                        s->standardIcon(QStyle::SP_DialogSaveButton));
    m_new = toolButton(bar, "cmdNew", tr("New"), tr("Clear all data and create a new project"), s->standardIcon(QStyle::SP_FileIcon));
    bar->addWidget(separator());
    m_website = toolButton(bar, "cmdWebsite", tr("Visit ") + Identity::websiteName(), QString(),
                           s->standardIcon(QStyle::SP_DriveNetIcon));
    m_website->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // It stretches towards the right edge of the window.
    m_website->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_skip->setEnabled(false);
    m_stop->setEnabled(false);

    connect(m_options, &QToolButton::clicked, this, &MainWindow::showOptions);
    connect(m_open, &QToolButton::clicked, m_commands, &ProjectCommands::openProject);
    connect(m_save, &QToolButton::clicked, m_commands, &ProjectCommands::saveProject);
    connect(m_new, &QToolButton::clicked, m_commands, &ProjectCommands::newProject);
    connect(m_website, &QToolButton::clicked, this, &MainWindow::openWebsiteWindow);
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    m_newAction = file->addAction(tr("New Project"), QKeySequence(QStringLiteral("Ctrl+N")), m_commands,
                                  &ProjectCommands::newProject);
    m_openAction = file->addAction(tr("Open Project"), QKeySequence(QStringLiteral("Ctrl+O")), m_commands,
                                   &ProjectCommands::openProject);
    m_saveAction = file->addAction(tr("Save Project"), QKeySequence(QStringLiteral("Ctrl+S")), m_commands,
                                   &ProjectCommands::saveProject);
    file->addSeparator();
    file->addAction(tr("Exit"), QKeySequence(QStringLiteral("Ctrl+Q")), this, &QWidget::close);

    QMenu *projectMenu = menuBar()->addMenu(tr("Project"));
    projectMenu->setObjectName(QStringLiteral("mnuProject"));
    projectMenu->addAction(tr("Schedule…"), this, &MainWindow::showSchedule)->setObjectName(QStringLiteral("mnuSchedule"));
    projectMenu->addAction(tr("Alerts…"), this, &MainWindow::showAlertOptions)->setObjectName(QStringLiteral("mnuAlerts"));

    QMenu *scanType = menuBar()->addMenu(tr("Scan Type"));
    scanType->setObjectName(QStringLiteral("mnuScanType"));
    m_scanTypes = new QActionGroup(this);
    m_scanTypes->setExclusive(true);
    const QString items[3] = {tr("Scan all main sites"), tr("Just scan the selected main site"),
                              tr("Just scan the selected linking site")};
    for (int i = 0; i < 3; ++i) {
        QAction *a = scanType->addAction(items[i]);
        a->setCheckable(true);
        a->setData(i);
        a->setVisible(i < 2); // the third exists only for a stored choice
        m_scanTypes->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { chooseScanType(i); });
    }
    connect(m_scanTypeArrow, &QToolButton::clicked, this, [scanType] { scanType->exec(QCursor::pos()); });

    QMenu *help = menuBar()->addMenu(tr("Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    help->addAction(tr("View Help File"), this, [this] { openHelpFile(this); });
    QMenu *about = menuBar()->addMenu(tr("About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    about->addAction(tr("About this software"), this, &MainWindow::showAbout);
}

QWidget *MainWindow::buildLinkResults()
{
    auto *panel = new QGroupBox(tr("Link Results"), this);
    panel->setObjectName(QStringLiteral("frameLinkResults"));
    m_tabs = new QTabWidget(panel);
    m_tabs->setObjectName(QStringLiteral("TabStrip1"));
    m_webTab = new WebTab(m_tabs);
    DialogService &dialogs = DialogService::instance();
    m_resultsPanel = new ResultsPanel(m_project, dialogs,
                                      {[this](const QString &url) { openInWebTab(url); },
                                       [this](const QString &url) { showInWebTab(url); }},
                                      m_tabs);
    m_reportsPanel = new ReportsPanel(
        m_project, dialogs, [this]() -> qint64 { return m_engine ? m_engine->statistics().pagesScanned : 0; }, m_tabs);
    m_reportBrowser = m_reportsPanel->browser();
    m_pageBuilder = new PageBuilderPanel(m_project, dialogs, m_tabs);
    m_postPanel = new PostPanel(PostPanel::Kind::Main, m_project, dialogs,
                                [this](const QString &text) {
                                    setStatusText(1, text);
                                    statusBar()->repaint();
                                },
                                m_tabs);
    m_historyPanel = new HistoryPanel(*m_history, m_tabs);
    const struct { QWidget *page; QString caption; QString tip; } tabs[6] = {
        {m_resultsPanel, tr("Links"), tr("View Link Results")},
        {m_webTab, tr("Web"), tr("Visit Linking Sites")},
        {m_pageBuilder, tr("Pages"), tr("Create link pages based on results")},
        {m_reportsPanel, tr("Reports"), tr("View Reports")},
        {m_postPanel, tr("Post"), tr("Post links to a database")},
        {m_historyPanel, tr("History"), tr("Links lost and found since the last scans")}};
    for (int i = 0; i < 6; ++i) {
        m_tabs->addTab(tabs[i].page, tabs[i].caption);
        m_tabs->setTabToolTip(i, tabs[i].tip);
    }
    m_tabs->setCurrentIndex(LinksTab);
    connect(m_tabs, &QTabWidget::currentChanged, this, &MainWindow::tabChanged);
    auto *layout = new QVBoxLayout(panel);
    layout->addWidget(m_tabs);
    return panel;
}

void MainWindow::buildStatusBar()
{
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    // Panel 1 takes half the width, the others a sixth each.
    const int stretch[4] = {3, 1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        m_panels[i]->setFrameShape(QFrame::StyledPanel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setMinimumWidth(20);
        statusBar()->addWidget(m_panels[i], stretch[i]);
    }
}

void MainWindow::startUp()
{
    m_project.setSaved(true);
    restoreSettings();
    m_engine->resetStatistics();
    statisticsChanged(m_engine->statistics());
    setWindowTitle(Identity::product() + tr(" by ") + Identity::company());
    m_website->setText(tr("Visit ") + Identity::websiteName());
    setControls(Controls::Idle);

    // The report browser starts blank; a reopened project's report then
    // replaces it rather than being hidden again.
    m_reportBrowser->navigate(QStringLiteral("about:blank"));
    const QString last = SettingsStore::instance().read(Keys::LastProject, QString());
    if (!last.isEmpty())
        m_commands->openFile(last);

    if (SettingsStore::instance().read(Keys::showHelp, QStringLiteral("1")) == QLatin1String("1")) {
        openHelpFile(this);
        QCoreApplication::processEvents();
        SettingsStore::instance().write(Keys::showHelp, QStringLiteral("0"));
    }
    m_engine->resetStatistics();
    m_webTab->browser()->navigate(startPageUrl());
    QCoreApplication::processEvents();
}

void MainWindow::restoreSettings()
{
    SettingsStore &store = SettingsStore::instance();
    // The page builder starts in "all Main Sites" mode.
    store.write(Keys::optAll, QStringLiteral("0"));
    m_project.setPageText(Project::PageText::Before, store.read(Keys::txtHTML1, ProjectDefaults::htmlBefore));
    m_project.setPageText(Project::PageText::Links, store.read(Keys::txtHTML2, ProjectDefaults::settingsHtmlLinks));
    m_project.setPageText(Project::PageText::After, store.read(Keys::txtHTML3, ProjectDefaults::htmlAfter));
    m_engine->setPageLimit(PageLimits::limitForIndex(store.readInt(Keys::cmbAdvance, PageLimits::defaultIndex)));

    // Scan type and skip mode are written back as a menu choice would.
    const int scanType = store.readInt(Keys::ScanType, 0);
    if (scanType >= 0 && scanType <= 2)
        chooseScanType(scanType);
    else
        m_engine->setScanType(0); // no item checked: all Main Sites
    const int skipType = store.readInt(Keys::SkipType, 0);
    if (skipType == 0 || skipType == 1) {
        m_engine->setSkipType(skipType);
        store.write(Keys::SkipType, QString::number(skipType));
    } else {
        m_engine->setSkipType(0);
    }
}

void MainWindow::chooseScanType(int index)
{
    const QList<QAction *> actions = m_scanTypes->actions();
    if (index < 0 || index >= actions.size())
        return;
    actions.at(index)->setChecked(true);
    m_engine->setScanType(index);
    SettingsStore::instance().write(Keys::ScanType, QString::number(index));
}

int MainWindow::pageLimit() const
{
    return m_engine->pageLimit();
}

QString MainWindow::statusText(int panel) const
{
    return panel >= 1 && panel <= 4 ? m_panels[panel - 1]->text() : QString();
}

void MainWindow::tabChanged(int index)
{
    // The Main Site choosers of the Pages and Post tabs are refilled, in list
    // order, every time their tab is selected.
    if (index == PagesTab)
        m_pageBuilder->refillChooser();
    else if (index == PostTab)
        m_postPanel->refillChooser();
    emit tabSelected(index);
}

void MainWindow::openInWebTab(const QString &url)
{
    m_tabs->setCurrentIndex(WebTabIndex);
    m_webTab->addressBox()->setText(url);
    m_webTab->browser()->setSilent(true);
    m_webTab->browser()->navigate(url);
}

// The errors list's edit gesture: the Web tab shows the page, the address box
// and the browser's silent mode stay as they are.
void MainWindow::showInWebTab(const QString &url)
{
    m_tabs->setCurrentIndex(WebTabIndex);
    m_webTab->browser()->navigate(url);
}

void MainWindow::openImportWindow(bool mainSites)
{
    ImportWindow::showWindow(mainSites ? ImportWindow::Kind::MainSites : ImportWindow::Kind::LinkingSites, m_project,
                             DialogService::instance());
}

void MainWindow::openWebsiteWindow()
{
    if (!m_websiteWindow) {
        m_websiteWindow = new WebsiteWindow;
        connect(m_websiteWindow, &WebsiteWindow::closed, this, &MainWindow::websiteWindowClosed);
    }
    m_websiteWindow->open();
}

void MainWindow::websiteWindowClosed()
{
    // The website window outlived the main window: it ends the program now.
    if (m_mainClosed)
        m_quit();
}

void MainWindow::showAbout()
{
    if (!m_about) {
        m_about = new AboutBox(this);
        connect(m_about, &AboutBox::websiteRequested, this, &MainWindow::openWebsiteWindow);
    }
    m_about->show();
    m_about->raise();
}

void MainWindow::showOptions()
{
    const bool fresh = !OptionsDialog::openWindow();
    OptionsDialog *dialog = OptionsDialog::open(this);
    dialog->alertsPage()->setProjectPath(m_commands->filePath());
    if (fresh) {
        connect(dialog, &OptionsDialog::pageLimitChanged, m_engine.get(), &ScanRun::setPageLimit);
        connect(dialog, &OptionsDialog::globalRulesEditorRequested, this,
                [this] { EntryEditor::openGlobal(m_project, this); });
        // Loading chose the stored page limit before the connection existed.
        m_engine->setPageLimit(PageLimits::limitForIndex(
            SettingsStore::instance().readInt(Keys::cmbAdvance, PageLimits::defaultIndex)));
    }
}

void MainWindow::showAlertOptions()
{
    showOptions();
    OptionsDialog::openWindow()->showAlertsPage();
}

ScheduleDialog *MainWindow::scheduleDialog() const
{
    return m_schedule;
}

void MainWindow::showSchedule()
{
    const QString path = m_commands->filePath();
    if (path.isEmpty()) {
        DialogService::instance().message(this, tr("Save the project first: a scheduled scan reads the project file."));
        return;
    }
    if (m_schedule) {
        m_schedule->raise();
        return;
    }
    m_schedule = new ScheduleDialog(path, QCoreApplication::applicationDirPath() + QStringLiteral("/reciplex-scan"), this);
    m_schedule->setAttribute(Qt::WA_DeleteOnClose);
    m_schedule->open();
}

// The alerts of a run with changes go out in the background.
void MainWindow::sendRunAlerts(const RunChanges &changes)
{
    RunAlert alert;
    alert.projectPath = m_commands->filePath();
    alert.started = m_scanStarted;
    alert.finished = QDateTime::currentDateTime();
    alert.changes = changes;
    if (!alert.hasChanges())
        return;
    const AlertSettings settings = AlertSettings::fromSettings();
    if (settings.wantsMail()) {
        const ReportChanges reportChanges = reportChangesOf(changes);
        alert.reportHtml = buildReportHtml(m_project, m_engine->statistics().pagesScanned, alert.finished,
                                           QLocale::system(), changes.hasPrevious() ? &reportChanges : nullptr);
    }
    m_alerts->send(alert, settings, DeliveryPolicy());
}

// --- the engine's front end ---

void MainWindow::setStatusText(int panel, const QString &text)
{
    if (panel >= 1 && panel <= 4)
        m_panels[panel - 1]->setText(text);
}

void MainWindow::setProgress(int percent)
{
    m_progress->setValue(qBound(0, percent, 100));
}

void MainWindow::setProgressToMaximum()
{
    m_progress->setValue(m_progress->maximum());
}

void MainWindow::setControls(Controls state)
{
    const bool idle = state == Controls::Idle;
    switch (state) {
    case Controls::Scanning:
        m_history->scanStarted(m_engine->scanTypeInEffect());
        m_scanStarted = QDateTime::currentDateTime();
        m_scanTypeArrow->setEnabled(false);
        m_skip->setEnabled(true);
        m_stop->setEnabled(true);
        break;
    case Controls::NextSite:
        m_start->setEnabled(false);
        m_stop->setEnabled(true);
        return;
    case Controls::Idle:
        m_start->setEnabled(true);
        m_scanTypeArrow->setEnabled(true);
        m_skip->setEnabled(false);
        m_stop->setEnabled(false);
        break;
    }
    // A project must not be replaced under a running scan: the menu items
    // follow their buttons.
    for (QToolButton *b : {m_new, m_open, m_save})
        b->setEnabled(idle);
    for (QAction *a : {m_newAction, m_openAction, m_saveAction})
        a->setEnabled(idle);
    m_websites->setEnabled(idle);
}

void MainWindow::selectMainSite(int mainPos)
{
    m_websites->selectMainSite(mainPos);
}

void MainWindow::selectLinkingSite(int mainPos, int row)
{
    m_websites->selectLinkingSite(mainPos, row);
}

void MainWindow::sitesInFlight(const QList<QPair<int, int>> &sites)
{
    m_websites->markSitesInFlight(sites);
}

void MainWindow::statisticsChanged(const ScanStatistics &stats)
{
    m_statistics->show(stats);
}

void MainWindow::queueAppended(const QString &url)
{
    m_statistics->queue()->addItem(url);
}

void MainWindow::queuePopped()
{
    delete m_statistics->queue()->takeItem(0);
}

void MainWindow::queueCleared()
{
    m_statistics->queue()->clear();
}

void MainWindow::showMessage(const QString &text)
{
    DialogService::instance().message(this, text);
}

void MainWindow::focusEntry(Entry entry)
{
    (entry == Entry::MainSite ? m_websites->mainEntry() : m_websites->linkingEntry())->setFocus();
}

void MainWindow::linkingSiteConcluded(const SiteConclusion &site)
{
    m_history->siteConcluded(site);
}

void MainWindow::scanStopped()
{
    setControls(Controls::Idle);
    setStatusText(1, tr("Stopped"));
    for (int p = 2; p <= 4; ++p)
        setStatusText(p, QString());
    setProgressToMaximum();
    // The run goes into the history before the report, which shows its changes.
    const ProjectHistory::Outcome outcome = m_history->scanFinished();
    if (outcome.stored && outcome.changes.hasPrevious())
        setStatusText(1, tr("Stopped: %1").arg(ChangeText::summary(outcome.changes)));
    else if (!outcome.stored && !outcome.error.isEmpty())
        setStatusText(1, tr("Stopped: the history could not be stored: %1").arg(outcome.error));
    emit reportRebuildRequested();
    m_historyPanel->historyChanged();
    if (outcome.stored)
        sendRunAlerts(outcome.changes);
}

// The history follows the project file, the current Main Site and the chosen
// Linking Site; the report takes its changes from it.
void MainWindow::connectHistory()
{
    m_reportsPanel->setChangesSource([this] { return m_history->reportChanges(); });
    connect(m_commands, &ProjectCommands::filePathChanged, this, [this](const QString &path) {
        m_history->setPath(ProjectHistory::pathFor(path));
        m_historyPanel->historyChanged();
        showHistoryOf();
    });
    connect(&m_project, &Project::currentMainSiteChanged, this, &MainWindow::showHistoryOf);
    connect(&m_project, &Project::mainSitesChanged, this, &MainWindow::showHistoryOf);
    connect(&m_project, &Project::projectReset, this, &MainWindow::showHistoryOf);
    connect(m_websites, &WebsitesPanel::linkingSelectionChanged, this, &MainWindow::showHistoryOf);
}

void MainWindow::showHistoryOf()
{
    const int main = m_project.currentMainSite();
    QString mainSite;
    if (main >= 0 && main < m_project.mainSiteCount()) {
        QString url = m_project.mainSite(main).url;
        mainSite = normaliseMainSite(url);
    }
    m_historyPanel->setMainSite(mainSite);
    const int row = m_websites->firstSelectedLinkingSite();
    const bool chosen = main >= 0 && main < m_project.mainSiteCount() && row >= 0 && row < m_project.linkingSites(main).size();
    m_historyPanel->chooseLinkingSite(chosen ? m_project.linkingSites(main).at(row).url : QString());
}

int MainWindow::selectedMainSite() const
{
    return m_websites->selectedMainSite();
}

int MainWindow::firstSelectedLinkingSite() const
{
    return m_websites->firstSelectedLinkingSite();
}

// --- layout and shut-down ---

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    sizeColumnsOnce();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (isVisible())
        sizeColumnsOnce();
}

// Column widths follow the list widths, set once per run on the first layout.
void MainWindow::sizeColumnsOnce()
{
    if (m_bSized)
        return;
    m_bSized = true;
    layout()->activate();
    m_websites->sizeColumns(m_websites->width() - 40);
    m_resultsPanel->setInitialColumnWidths();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_mainClosed) {
        event->accept();
        return;
    }
    if (!m_commands->askToSaveOnExit()) {
        event->ignore(); // Yes was chosen and nothing written: the edits stay open
        return;
    }
    m_engine->shutdown();
    m_mainClosed = true;
    event->accept();

    EntryEditor::closeAll();
    if (OptionsDialog::openWindow())
        OptionsDialog::openWindow()->close();
    ImportWindow::closeWindow(ImportWindow::Kind::LinkingSites);
    if (m_about)
        m_about->close();
    if (m_splash)
        m_splash->close();
    // A visible website window keeps the program alive until it is closed.
    if (m_websiteWindow && m_websiteWindow->isVisible())
        return;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
    m_quit();
}
