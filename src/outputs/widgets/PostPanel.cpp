#include "outputs/widgets/PostPanel.h"

#include "model/Project.h"
#include "outputs/Posting.h"
#include "outputs/PostingHelp.h"
#include "outputs/widgets/PostingLogWindow.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "ui/DialogService.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

PostPanel::PostPanel(Kind kind, Project &project, DialogService &dialogs,
                     std::function<void(const QString &)> setStatus, QWidget *parent)
    : QWidget(parent), m_kind(kind), m_project(project), m_dialogs(dialogs), m_setStatus(std::move(setStatus))
{
    const bool main = kind == Kind::Main;
    auto *frame = new QGroupBox(main ? QStringLiteral("Post the results of your scans to your script enabled website")
                                     : QString(),
                                this);
    frame->setObjectName(main ? QStringLiteral("framePost") : QStringLiteral("framePostLinks"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto *layout = new QVBoxLayout(frame);

    if (!main) {
        auto *intro = new QLabel(
            QStringLiteral("I have created a script on my website that can accept values from a querystring.  "
                           "Hit this page once for each site in my results list, replacing variables in the "
                           "following URL with the actual results from my results list."),
            frame);
        intro->setWordWrap(true);
        layout->addWidget(intro);
    }

    m_opt0 = new QRadioButton(main ? QStringLiteral("Post results to one URL only:")
                                   : QStringLiteral("Post results to one URL regardless of what Main Site the link is for:"),
                              frame);
    m_opt0->setObjectName(QStringLiteral("optScript0"));
    m_opt1 = new QRadioButton(QStringLiteral("Post results to a different URL for each Main Site:"), frame);
    m_opt1->setObjectName(QStringLiteral("optScript1"));
    auto *options = new QButtonGroup(this);
    options->addButton(m_opt0, 0);
    options->addButton(m_opt1, 1);

    m_template = new QLineEdit(frame);
    m_template->setObjectName(main ? QStringLiteral("txtPost") : QStringLiteral("getURL3"));
    m_sites = new QComboBox(frame);
    m_sites->setObjectName(QStringLiteral("cmbSites"));
    m_sites->setEditable(true);
    m_sites->setInsertPolicy(QComboBox::NoInsert);
    m_sites->setMinimumContentsLength(20);
    m_targetUrl = new QLineEdit(QStringLiteral("http://"), frame);
    m_targetUrl->setObjectName(QStringLiteral("txtPost2"));
    m_add = new QPushButton(QStringLiteral("Add"), frame);
    m_add->setObjectName(QStringLiteral("cmdScriptAdd"));
    m_add->setToolTip(main ? QStringLiteral("All this Script URL") : QStringLiteral("Add the site you have entered above"));
    m_del = new QPushButton(main ? QStringLiteral("Del") : QStringLiteral("Delete"), frame);
    m_del->setObjectName(QStringLiteral("cmdScriptDel"));
    m_del->setToolTip(main ? QStringLiteral("Delete the selected script URL") : QStringLiteral("Delete the selected site"));
    m_targets = new QTreeWidget(frame);
    m_targets->setObjectName(QStringLiteral("lstMulti"));
    m_targets->setHeaderLabels({QStringLiteral("Main Site"), QStringLiteral("Script URL")});
    m_targets->setRootIsDecorated(false);
    m_targets->setSelectionMode(QAbstractItemView::SingleSelection);
    m_targets->header()->setStretchLastSection(true);
    m_targets->setColumnWidth(0, 220);
    m_variables = new QPushButton(QStringLiteral("View URL Variables"), frame);
    m_variables->setObjectName(QStringLiteral("cmdVariables"));
    m_example = new QPushButton(main ? QStringLiteral("View Example") : QStringLiteral("View Example URL"), frame);
    m_example->setObjectName(QStringLiteral("cmdExample"));
    m_post = new QPushButton(QStringLiteral("Post Links Now"), frame);
    m_post->setObjectName(QStringLiteral("cmdPost"));

    auto *grid = new QGridLayout;
    grid->addWidget(m_opt0, 0, 0, 1, 4);
    grid->addWidget(new QLabel(main ? QStringLiteral("Script URL:") : QStringLiteral("My Script URL:"), frame), 1, 0);
    grid->addWidget(m_template, 1, 1, 1, 3);
    grid->addWidget(m_opt1, 2, 0, 1, 4);
    grid->addWidget(new QLabel(main ? QStringLiteral("Remote Site:") : QStringLiteral("Main Site:"), frame), 3, 0);
    grid->addWidget(m_sites, 3, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Script URL:"), frame), 4, 0);
    grid->addWidget(m_targetUrl, 4, 1);
    grid->addWidget(m_add, 4, 2);
    grid->addWidget(m_del, 4, 3);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addWidget(m_targets, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_variables);
    buttons->addWidget(m_example);
    buttons->addStretch(1);
    buttons->addWidget(m_post);
    layout->addLayout(buttons);

    SettingsStore &store = SettingsStore::instance();
    if (main) {
        m_template->setText(m_project.scriptUrl());
        m_sites->setEditText(QStringLiteral("Select"));
        showProjectTargets();
        connect(m_template, &QLineEdit::textChanged, this, [this](const QString &t) { m_project.setScriptUrl(t); });
        connect(&m_project, &Project::scriptChanged, this, [this] {
            if (m_template->text() != m_project.scriptUrl())
                m_template->setText(m_project.scriptUrl());
            showProjectTargets();
        });
        connect(&m_project, &Project::projectReset, this, [this] {
            m_sites->clear(); // "New" empties the chooser
            m_sites->setEditText(QString());
        });
        applyMode(store.readInt(Keys::optScript, 0) == 1 ? 1 : 0);
    } else {
        m_template->setText(store.read(Keys::getURL3, QStringLiteral("http://")));
        connect(m_template, &QLineEdit::textChanged, this,
                [](const QString &t) { SettingsStore::instance().write(Keys::getURL3, t); });
        refillChooser();
        if (m_sites->count() > 0)
            m_sites->setCurrentIndex(0);
        applyMode(0);
    }

    connect(m_opt0, &QRadioButton::clicked, this, [this] { setMode(0); });
    connect(m_opt1, &QRadioButton::clicked, this, [this] { setMode(1); });
    connect(m_add, &QPushButton::clicked, this, &PostPanel::addTarget);
    connect(m_del, &QPushButton::clicked, this, &PostPanel::deleteTarget);
    if (main) {
        // Enter in either box adds the target as "Add" does.
        connect(m_targetUrl, &QLineEdit::returnPressed, this, &PostPanel::addTarget);
        connect(m_sites->lineEdit(), &QLineEdit::returnPressed, this, &PostPanel::addTarget);
    }
    connect(m_targets, &QTreeWidget::itemClicked, this, [this] { m_del->setEnabled(true); });
    connect(m_variables, &QPushButton::clicked, this, &PostPanel::showVariables);
    connect(m_example, &QPushButton::clicked, this, &PostPanel::showExample);
    connect(m_post, &QPushButton::clicked, this, &PostPanel::postLinks);
}

void PostPanel::setMode(int mode)
{
    SettingsStore::instance().write(Keys::optScript, QString::number(mode));
    applyMode(mode);
}

void PostPanel::applyMode(int mode)
{
    const bool perSite = mode == 1;
    (perSite ? m_opt1 : m_opt0)->setChecked(true);
    m_template->setEnabled(!perSite);
    m_targets->setEnabled(perSite);
    m_add->setEnabled(perSite);
    m_sites->setEnabled(perSite);
    m_targetUrl->setEnabled(perSite);
    m_del->setEnabled(false); // enabled again by clicking a row
}

int PostPanel::mode() const
{
    return m_opt1->isChecked() ? 1 : 0;
}

void PostPanel::refillChooser()
{
    const QString text = m_sites->currentText();
    m_sites->clear();
    for (const MainSite &m : m_project.mainSites())
        m_sites->addItem(m.url);
    m_sites->setCurrentIndex(-1);
    m_sites->setEditText(text);
}

void PostPanel::showProjectTargets()
{
    m_targets->clear();
    for (const ScriptTarget &t : m_project.scriptTargets())
        m_targets->addTopLevelItem(new QTreeWidgetItem({t.mainSite, t.scriptUrl}));
}

void PostPanel::addTarget()
{
    const QString site = m_sites->currentText();
    if (m_kind == Kind::Import) {
        // The import windows' own list, not the project's; nothing is tested.
        m_targets->addTopLevelItem(new QTreeWidgetItem({site, m_targetUrl->text()}));
        return;
    }
    if (site.isEmpty() || site == QLatin1String("Select"))
        return;
    m_project.addScriptTarget(ScriptTarget{site, m_targetUrl->text()});
}

void PostPanel::deleteTarget()
{
    QTreeWidgetItem *item = m_targets->currentItem();
    if (!item || !item->isSelected())
        return;
    const int row = m_targets->indexOfTopLevelItem(item);
    if (m_kind == Kind::Import)
        delete m_targets->takeTopLevelItem(row);
    else
        m_project.removeScriptTarget(row);
}

void PostPanel::showVariables()
{
    const HelpText help = urlVariablesHelp(m_kind == Kind::Main ? PostingWindow::Main : PostingWindow::Import);
    m_dialogs.message(this, help.text, help.title);
}

void PostPanel::showExample()
{
    const HelpText help =
        urlExampleHelp(m_kind == Kind::Main ? PostingWindow::Main : PostingWindow::Import, m_template->text());
    m_dialogs.message(this, help.text, help.title);
}

void PostPanel::postLinks()
{
    // A second press while a run is in progress (from here or any other
    // posting window) would post every row twice.
    if (m_posting || postingInProgress())
        return;
    PostingLogWindow::showLog();

    QPointer<PostPanel> self(this);
    PostingRun run;
    run.mode = m_kind == Kind::Main && mode() == 1 ? PostingMode::PerMainSite : PostingMode::OneUrl;
    run.oneUrlTemplate = m_template->text();
    const auto setStatus = m_setStatus;
    run.showStatus = [setStatus](const QString &text) {
        if (setStatus)
            setStatus(text);
        QCoreApplication::processEvents();
    };
    run.appendLog = [](const QString &text) {
        // A log the user closed during the run stays closed.
        if (PostingLogWindow *log = PostingLogWindow::existing())
            log->appendText(text);
    };
    m_posting = true;
    emit postingStarted();
    postResults(m_project, run);
    if (self) {
        m_posting = false;
        emit postingFinished();
    }
}
