#include "import/widgets/ImportWindow.h"

#include "import/BacklinkImport.h"
#include "import/DelimitedList.h"
#include "import/LinkHarvest.h"
#include "import/SiteFileImport.h"
#include "model/Project.h"
#include "outputs/DialogFilter.h"
#include "outputs/widgets/PostPanel.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "ui/DialogService.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QPointer<ImportWindow> &slotFor(ImportWindow::Kind kind)
{
    static QPointer<ImportWindow> linking;
    static QPointer<ImportWindow> main;
    return kind == ImportWindow::Kind::LinkingSites ? linking : main;
}

QLabel *wrapped(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}

} // namespace

ImportWindow *ImportWindow::showWindow(Kind kind, Project &project, DialogService &dialogs)
{
    QPointer<ImportWindow> &w = slotFor(kind);
    if (!w || w->m_closeWhenIdle) {
        if (w) // closed during a run and not yet gone: a fresh window takes its place
            slotFor(kind) = nullptr;
        w = new ImportWindow(kind, project, dialogs);
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

ImportWindow *ImportWindow::existing(Kind kind)
{
    ImportWindow *w = slotFor(kind).data();
    return w && !w->m_closeWhenIdle ? w : nullptr;
}

void ImportWindow::closeWindow(Kind kind)
{
    if (ImportWindow *w = slotFor(kind).data())
        w->close();
}

ImportWindow::ImportWindow(Kind kind, Project &project, DialogService &dialogs)
    : QWidget(nullptr, Qt::Window), m_kind(kind), m_project(project), m_dialogs(dialogs)
{
    const bool linking = kind == Kind::LinkingSites;
    setObjectName(linking ? QStringLiteral("ImportLinkingSites") : QStringLiteral("ImportMainSites"));
    setWindowTitle(linking ? QStringLiteral("Import Linking Sites") : QStringLiteral("Import Main Sites"));
    setAttribute(Qt::WA_QuitOnClose, false);

    m_tabs = new QTabWidget(this);
    auto *getTab = new QWidget;
    m_tabs->addTab(getTab, QStringLiteral("Get Links"));

    // --- from a file ---
    auto *fileFrame = new QGroupBox(linking ? QStringLiteral("Get linking sites from a file")
                                            : QStringLiteral("Get main sites from a file"),
                                    getTab);
    m_import = new QPushButton(QStringLiteral("Import"), fileFrame);
    m_import->setObjectName(QStringLiteral("Command4"));
    m_import->setToolTip(linking ? QStringLiteral("Import linking sites from a file")
                                 : QStringLiteral("Import Main Sites from a file"));
    auto *fileRow = new QHBoxLayout(fileFrame);
    fileRow->addWidget(wrapped(linking ? QStringLiteral("You can import linking sites from a text (.txt) file by "
                                                        "entering one URL per line.")
                                       : QStringLiteral("You can import main sites from a text (.txt) file by "
                                                        "entering one URL per line."),
                               fileFrame),
                       1);
    fileRow->addWidget(m_import);

    // --- from a backlink export ---
    QGroupBox *backlinkFrame = nullptr;
    if (linking) {
        backlinkFrame = new QGroupBox(QStringLiteral("Get linking sites from a backlink export"), getTab);
        m_backlinks = new QPushButton(QStringLiteral("Import CSV"), backlinkFrame);
        m_backlinks->setObjectName(QStringLiteral("cmdImportBacklinks"));
        m_backlinks->setToolTip(QStringLiteral("Import the linking pages of a backlink export (.csv)"));
        auto *backlinkRow = new QHBoxLayout(backlinkFrame);
        backlinkRow->addWidget(wrapped(QStringLiteral("A links export of the webmaster console or a backlink export of "
                                                      "a backlink index: each linking page that points at one of your "
                                                      "Main Sites is added to it, pages already there are skipped."),
                                       backlinkFrame),
                               1);
        backlinkRow->addWidget(m_backlinks);
    }

    // --- from the web ---
    auto *webFrame = new QGroupBox(QStringLiteral("Scan my website for linking sites"), getTab);
    m_simple = new QRadioButton(
        QStringLiteral("Simple - Spider my link page at the following URL and add my links to be scanned:"), webFrame);
    m_simple->setObjectName(QStringLiteral("Option1_0"));
    m_advanced = new QRadioButton(
        QStringLiteral("Advanced - Get links to scan directly from my database.  I have created a script at the "
                       "following URL that outputs all domains separated by a delimiter.  For example: "
                       "first-site.example,second-site.example,third-site.example,fourth-site.example (no HTML)"),
        webFrame);
    m_advanced->setObjectName(QStringLiteral("Option1_1"));
    auto *modes = new QButtonGroup(this);
    modes->addButton(m_simple, 0);
    modes->addButton(m_advanced, 1);
    m_text1 = new QLineEdit(webFrame);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text2 = new QLineEdit(webFrame);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_delimiter = new QComboBox(webFrame);
    m_delimiter->setObjectName(QStringLiteral("Combo1"));
    m_delimiter->setEditable(true);
    m_delimiter->setInsertPolicy(QComboBox::NoInsert);
    m_delimiter->addItems(delimiterChoices());
    m_delimiter->setMinimumContentsLength(24);
    m_getLinks = new QPushButton(QStringLiteral("Get Links"), webFrame);
    m_getLinks->setObjectName(QStringLiteral("Command1"));
    if (linking)
        m_getLinks->setToolTip(QStringLiteral("Import linking sites from your website"));

    // The long option texts wrap in labels beside their buttons.
    const auto optionRow = [this, webFrame](QRadioButton *option) {
        auto *row = new QHBoxLayout;
        const QString text = option->text();
        option->setText(QString());
        option->setAccessibleName(text);
        auto *label = wrapped(text, webFrame);
        label->setBuddy(option);
        label->installEventFilter(this); // a click on the text chooses the option
        row->addWidget(option, 0, Qt::AlignTop);
        row->addWidget(label, 1);
        return row;
    };
    auto *web = new QGridLayout(webFrame);
    web->addLayout(optionRow(m_simple), 0, 0, 1, 4);
    web->addWidget(new QLabel(QStringLiteral("URL:"), webFrame), 1, 0);
    web->addWidget(m_text1, 1, 1, 1, 3);
    web->addLayout(optionRow(m_advanced), 2, 0, 1, 4);
    web->addWidget(new QLabel(QStringLiteral("URL:"), webFrame), 3, 0);
    web->addWidget(m_text2, 3, 1, 1, 3);
    web->addWidget(new QLabel(QStringLiteral("Delimiter:"), webFrame), 4, 0);
    web->addWidget(m_delimiter, 4, 1);
    web->addWidget(m_getLinks, 4, 3);
    web->setColumnStretch(2, 1);

    // --- the candidates ---
    m_list = new QTreeWidget(getTab);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setHeaderLabels({QStringLiteral("Link URL")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->header()->setStretchLastSection(false);
    m_list->viewport()->installEventFilter(this);
    m_list->installEventFilter(this);
    m_add = new QPushButton(QStringLiteral("Add Selected Links to My Link List"), getTab);
    m_add->setObjectName(QStringLiteral("cmdAdd"));
    if (!linking)
        m_add->setToolTip(QStringLiteral("Add the site you have entered above"));

    auto *getLayout = new QVBoxLayout(getTab);
    getLayout->addWidget(fileFrame);
    if (backlinkFrame)
        getLayout->addWidget(backlinkFrame);
    getLayout->addWidget(webFrame);
    getLayout->addWidget(wrapped(QStringLiteral("Results (Control + Click or Shift + Click to Select Multiple, "
                                                "Right Click to Select All):"),
                                 getTab));
    getLayout->addWidget(m_list, 1);
    getLayout->addWidget(m_add, 0, Qt::AlignRight);

    // --- posting ---
    m_post = new PostPanel(PostPanel::Kind::Import, project, dialogs, [this](const QString &t) { setStatus(t); });
    m_tabs->addTab(m_post, QStringLiteral("Post Links"));

    auto *statusBar = new QStatusBar(this);
    statusBar->setSizeGripEnabled(false);
    m_status = new QLabel(statusBar);
    statusBar->addWidget(m_status, 1); // one panel as wide as the window

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 0);
    layout->addWidget(m_tabs, 1);
    layout->addWidget(statusBar);
    resize(640, 680);

    // Restore what both windows remember.
    SettingsStore &store = SettingsStore::instance();
    (store.readInt(Keys::getUrlOption, 0) == 1 ? m_advanced : m_simple)->setChecked(true);
    m_text1->setText(store.read(Keys::getURL1, QStringLiteral("http://")));
    m_text2->setText(store.read(Keys::getURL2, QStringLiteral("http://")));
    const int combo = store.readInt(Keys::getURLCombo, -1);
    if (combo >= 0 && combo < m_delimiter->count()) {
        m_delimiter->setCurrentIndex(combo);
        m_chosenDelimiter = combo;
    } else {
        m_delimiter->setCurrentIndex(-1);
        m_delimiter->setEditText(kDelimiterPrompt);
    }
    m_tabs->setCurrentIndex(0);

    connect(m_simple, &QRadioButton::clicked, this, [this] { chooseMode(0); });
    connect(m_advanced, &QRadioButton::clicked, this, [this] { chooseMode(1); });
    connect(m_text1, &QLineEdit::textChanged, this,
            [](const QString &t) { SettingsStore::instance().write(Keys::getURL1, t); });
    connect(m_text2, &QLineEdit::textChanged, this,
            [](const QString &t) { SettingsStore::instance().write(Keys::getURL2, t); });
    connect(m_delimiter, &QComboBox::activated, this, [this](int index) {
        m_chosenDelimiter = index;
        SettingsStore::instance().write(Keys::getURLCombo, QString::number(index));
    });
    connect(m_delimiter->lineEdit(), &QLineEdit::textEdited, this, [this] {
        m_chosenDelimiter = -1; // a typed delimiter is not remembered
        SettingsStore::instance().write(Keys::getURLCombo, QStringLiteral("-1"));
    });
    connect(m_import, &QPushButton::clicked, this, &ImportWindow::importFile);
    if (m_backlinks)
        connect(m_backlinks, &QPushButton::clicked, this, &ImportWindow::importBacklinks);
    connect(m_getLinks, &QPushButton::clicked, this, &ImportWindow::getLinks);
    connect(m_add, &QPushButton::clicked, this, &ImportWindow::addSelected);
    connect(m_post, &PostPanel::postingFinished, this, &ImportWindow::runEnded);
}

QString ImportWindow::statusText() const
{
    return m_status->text();
}

void ImportWindow::setStatus(const QString &text)
{
    m_status->setText(text);
    m_status->repaint();
    QCoreApplication::processEvents();
}

void ImportWindow::chooseMode(int index)
{
    SettingsStore::instance().write(Keys::getUrlOption, QString::number(index));
}

bool ImportWindow::isBusy() const
{
    return m_harvesting || m_post->isPosting();
}

void ImportWindow::importFile()
{
    const bool linking = m_kind == Kind::LinkingSites;
    if (linking && m_project.currentMainSite() < 0) {
        m_dialogs.message(this, kSelectMainSiteFirst);
        return;
    }
    const QString path = m_dialogs.openFile(this, importStartFolder(), dialogFilter(kImportFileFilter));
    if (path.isEmpty())
        return;
    // The Main Site current now, after the dialog: a running scan may have moved on.
    const SiteImportResult result = linking ? importLinkingSitesFile(m_project, m_project.currentMainSite(), path)
                                            : importMainSitesFile(m_project, path);
    switch (result.kind) {
    case SiteImportResult::Added:
        m_status->setText(result.statusText);
        if (!result.refused.isEmpty())
            m_dialogs.message(this, result.refusedMessage());
        break;
    case SiteImportResult::NoMainSite: m_dialogs.message(this, kSelectMainSiteFirst); break;
    case SiteImportResult::Unreadable: m_dialogs.message(this, result.errorMessage); break;
    }
}

void ImportWindow::importBacklinks()
{
    const QString path = m_dialogs.openFile(this, importStartFolder(), dialogFilter(kBacklinkFileFilter));
    if (path.isEmpty())
        return;
    const BacklinkImportResult result = importBacklinksFile(m_project, path, m_project.currentMainSite());
    if (result.ok)
        m_status->setText(result.statusText());
    m_dialogs.message(this, result.summary(), QStringLiteral("Import Backlinks"));
}

void ImportWindow::getLinks()
{
    // A second press while links are being fetched (here or in the other
    // window) would interleave two downloads into one list.
    if (m_harvesting || harvestInProgress())
        return;
    HarvestRequest request;
    request.mode = m_advanced->isChecked() ? HarvestMode::Advanced : HarvestMode::Simple;
    request.pageUrl = m_text1->text();
    request.listUrl = m_text2->text();
    request.delimiter = delimiterForChoice(m_chosenDelimiter, m_delimiter->currentText());

    // New rows and the status are shown together at most every 50 ms. Letting
    // the window redraw after each of thousands of rows would lay the growing
    // list out again each time; events still run that often, so the window
    // answers throughout.
    QList<QTreeWidgetItem *> pending;
    QElapsedTimer sinceShown;
    sinceShown.start();
    const auto showPending = [this, &pending, &sinceShown] {
        m_list->addTopLevelItems(pending);
        pending.clear();
        setStatus(m_status->text());
        sinceShown.restart();
    };
    HarvestCallbacks callbacks;
    callbacks.clearRows = [this, &pending] {
        qDeleteAll(pending);
        pending.clear();
        m_list->clear();
    };
    callbacks.addRow = [&pending](const QString &row) { pending.append(new QTreeWidgetItem({row})); };
    callbacks.showStatus = [this, &sinceShown, &showPending](const QString &t) {
        m_status->setText(t);
        if (sinceShown.elapsed() >= 50)
            showPending();
    };

    m_harvesting = true;
    const HarvestResult result = ::getLinks(request, callbacks);
    showPending();
    m_harvesting = false;
    if (result.kind == HarvestResult::NeedDelimiter)
        m_dialogs.message(this, kNoDelimiterMessage);
    runEnded();
}

void ImportWindow::addSelected()
{
    QStringList rows;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_list->topLevelItem(i);
        if (item->isSelected())
            rows << item->text(0);
    }
    const SiteImportResult result = addSelectedLinks(m_project, m_project.currentMainSite(), rows);
    if (result.kind == SiteImportResult::NoMainSite)
        m_dialogs.message(this, kSelectMainSiteFirst);
    else if (!result.refused.isEmpty())
        m_dialogs.message(this, result.refusedMessage());
}

bool ImportWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::Resize) {
        // The one column is as wide as the list less 300 twips.
        m_list->setColumnWidth(0, qMax(40, m_list->width() - qRound(300 * logicalDpiX() / 1440.0)));
        return false;
    }
    // Releasing the right button anywhere over the list selects every row.
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        m_list->selectAll();
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        if (auto *label = qobject_cast<QLabel *>(watched)) {
            if (auto *option = qobject_cast<QRadioButton *>(label->buddy())) {
                option->click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ImportWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (isBusy()) {
        // Still inside a download: the window goes away when it ends.
        m_closeWhenIdle = true;
        hide();
        return;
    }
    deleteLater();
}

void ImportWindow::runEnded()
{
    if (m_closeWhenIdle && !isBusy())
        deleteLater();
}
