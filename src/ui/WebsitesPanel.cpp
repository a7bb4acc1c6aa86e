#include "ui/WebsitesPanel.h"

#include "model/Project.h"
#include "model/SiteEditing.h"
#include "ui/DialogService.h"
#include "ui/EntryEditor.h"
#include "ui/RowColours.h"
#include "url/TextMatch.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

static QPushButton *panelButton(QWidget *parent, const char *name, const QString &caption, const QString &tip)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(tip);
    // Same widths in both sub-panels, so the Linking Sites buttons sit under the Main Sites ones.
    b->setFixedWidth(58);
    return b;
}

// Entry box, then Add, Del, Edit, Import left to right.
static QHBoxLayout *entryRow(QLineEdit *box, std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    row->addWidget(box, 1);
    for (QPushButton *b : buttons)
        row->addWidget(b);
    return row;
}

WebsitesPanel::WebsitesPanel(Project &project, QWidget *parent)
    : QGroupBox(tr("Websites"), parent), m_project(project)
{
    setObjectName(QStringLiteral("frameWebsites"));

    auto *mainPanel = new QGroupBox(tr("Enter a list of your Main Sites here"), this);
    mainPanel->setObjectName(QStringLiteral("frameMainSites"));
    m_domain = new QLineEdit(mainPanel);
    m_domain->setObjectName(QStringLiteral("txtDomain"));
    m_domain->setToolTip(tr("Enter the website you want to find links to from remote sites"));
    m_addMain = panelButton(mainPanel, "cmdAddMain", tr("Add"), tr("Add the Main Site you have entered to the list"));
    m_delMain = panelButton(mainPanel, "cmdDelMain", tr("Del"), tr("Delete the main site you have selected below"));
    m_editMain = panelButton(mainPanel, "cmdEditMain", tr("Edit"), tr("Edit the main site you have selected below"));
    m_importMain = panelButton(mainPanel, "cmdImportMain", tr("Import"), tr("Import Main Sites from a file"));
    for (QPushButton *b : {m_addMain, m_delMain, m_editMain})
        b->setEnabled(false);
    m_mainList = new QListWidget(mainPanel);
    m_mainList->setObjectName(QStringLiteral("List4"));
    m_mainList->setUniformItemSizes(true); // thousands of rows lay out at once
    auto *mainLayout = new QVBoxLayout(mainPanel);
    mainLayout->addWidget(new QLabel(tr("Main Site URL:"), mainPanel));
    mainLayout->addLayout(entryRow(m_domain, {m_addMain, m_delMain, m_editMain, m_importMain}));
    mainLayout->addWidget(m_mainList, 1);

    m_linkingPanel = new QGroupBox(tr("Enter Linking Sites for the selected Main Site"), this);
    m_linkingPanel->setObjectName(QStringLiteral("frameLinkingSites"));
    m_linkingLabel = new QLabel(tr("Linking Site URL:"), m_linkingPanel);
    m_linkingEntry = new QLineEdit(m_linkingPanel);
    m_linkingEntry->setObjectName(QStringLiteral("Text1"));
    m_linkingEntry->setToolTip(tr("Enter the URL of the website/page you want to search for links."));
    m_addLinking = panelButton(m_linkingPanel, "cmdAddLinking", tr("Add"), tr("Add the linking site you have entered to the list"));
    m_delLinking = panelButton(m_linkingPanel, "cmdDelLinking", tr("Del"), tr("Delete the linking site that you have selected below"));
    m_editLinking = panelButton(m_linkingPanel, "cmdEditLinking", tr("Edit"), tr("Edit the linking site that you have selected below"));
    m_importLinking = panelButton(m_linkingPanel, "cmdImportLinking", tr("Import"), tr("Import linking sites from a file or a website"));
    for (QWidget *w : std::initializer_list<QWidget *>{m_linkingEntry, m_addLinking, m_delLinking, m_editLinking}) {
        w->setEnabled(false);
        w->hide();
    }
    m_linkingList = new QTreeWidget(m_linkingPanel);
    m_linkingList->setObjectName(QStringLiteral("List1"));
    m_linkingList->setRootIsDecorated(false);
    m_linkingList->setUniformRowHeights(true);
    m_linkingList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_linkingList->setHeaderLabels({tr("Website"), tr("#"), tr("HTML Link"), tr("HTML Name"), tr("Description")});
    m_linkingList->header()->setSectionsClickable(true);
    m_linkingList->header()->setStretchLastSection(true);
    m_linkingList->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *linkingLayout = new QVBoxLayout(m_linkingPanel);
    linkingLayout->addWidget(m_linkingLabel);
    linkingLayout->addLayout(entryRow(m_linkingEntry, {m_addLinking, m_delLinking, m_editLinking, m_importLinking}));
    linkingLayout->addWidget(m_linkingList, 1);
    m_linkingPanel->hide();

    // The two sub-panels share the height: each half.
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mainPanel, 1);
    layout->addWidget(m_linkingPanel, 1);
    layout->addStretch(0);

    connect(m_domain, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!text.isEmpty())
            m_addMain->setEnabled(true); // never disabled again
        if (m_skipDomainChange) {
            m_skipDomainChange = false;
            return;
        }
        m_project.markEdited();
    });
    connect(m_domain, &QLineEdit::returnPressed, this, &WebsitesPanel::addMainSite);
    connect(m_addMain, &QPushButton::clicked, this, &WebsitesPanel::addMainSite);
    connect(m_delMain, &QPushButton::clicked, this, &WebsitesPanel::deleteMainSite);
    connect(m_editMain, &QPushButton::clicked, this, &WebsitesPanel::editMainSite);
    connect(m_importMain, &QPushButton::clicked, this, &WebsitesPanel::importMainSitesRequested);
    connect(m_mainList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { selectMainSite(m_mainList->row(item)); });
    connect(m_mainList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_selecting && row >= 0)
            selectMainSite(row);
    });

    connect(m_linkingEntry, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_addLinking->setEnabled(!text.isEmpty()); });
    connect(m_linkingEntry, &QLineEdit::returnPressed, this, &WebsitesPanel::addLinkingSite);
    connect(m_addLinking, &QPushButton::clicked, this, &WebsitesPanel::addLinkingSite);
    connect(m_delLinking, &QPushButton::clicked, this, &WebsitesPanel::deleteLinkingSite);
    connect(m_editLinking, &QPushButton::clicked, this, &WebsitesPanel::editLinkingSite);
    connect(m_importLinking, &QPushButton::clicked, this, &WebsitesPanel::importLinkingSitesRequested);
    // Del and Edit follow the selection however it was made: a click, the
    // arrow keys, a drag, or a refill that loses it.
    connect(m_linkingList, &QTreeWidget::itemClicked, this, &WebsitesPanel::linkingRowChosen);
    connect(m_linkingList, &QTreeWidget::itemSelectionChanged, this, &WebsitesPanel::followLinkingSelection);
    connect(m_linkingList->header(), &QHeaderView::sectionClicked, this, &WebsitesPanel::sortLinkingSites);
    connect(m_linkingList, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu menu(this);
        menu.addAction(tr("Delete Site"), this, &WebsitesPanel::deleteLinkingSite);
        menu.exec(m_linkingList->viewport()->mapToGlobal(pos));
    });

    m_domain->installEventFilter(this);
    m_linkingEntry->installEventFilter(this);

    connect(&m_project, &Project::projectReset, this, &WebsitesPanel::projectCleared);
    connect(&m_project, &Project::mainSitesChanged, this, &WebsitesPanel::fillMainSites);
    connect(&m_project, &Project::linkingSitesChanged, this, [this](int mainPos) {
        if (mainPos == m_shown)
            fillLinkingSites();
    });
    connect(&m_project, &Project::linkingSiteChanged, this, &WebsitesPanel::updateLinkingRow);
    connect(&m_project, &Project::currentMainSiteChanged, this, &WebsitesPanel::currentChanged);
}

bool WebsitesPanel::eventFilter(QObject *watched, QEvent *event)
{
    // An entry box that takes the focus tells the user what it is for.
    if (event->type() == QEvent::FocusIn && (watched == m_domain || watched == m_linkingEntry))
        emit statusMessage(static_cast<QWidget *>(watched)->toolTip());
    return QGroupBox::eventFilter(watched, event);
}

void WebsitesPanel::projectCleared()
{
    m_domain->clear();
    m_linkingEntry->clear();
    m_linkingPanel->hide();
    m_shown = -1;
    m_linkingList->clear();
    m_sort.clear();
}

void WebsitesPanel::fillMainSites()
{
    m_selecting = true;
    m_mainList->clear();
    QStringList urls;
    urls.reserve(m_project.mainSiteCount());
    for (const MainSite &m : m_project.mainSites())
        urls << m.url;
    m_mainList->addItems(urls);
    if (m_shown >= m_project.mainSiteCount())
        m_shown = -1;
    if (m_shown >= 0)
        m_mainList->setCurrentRow(m_shown);
    m_selecting = false;
    // A rename changes the heading too.
    if (m_shown >= 0)
        m_linkingPanel->setTitle(tr("Enter linking sites: ") + m_project.mainSite(m_shown).url);
}

void WebsitesPanel::fillLinkingSites()
{
    m_linkingList->clear();
    if (m_shown < 0 || m_shown >= m_project.mainSiteCount()) {
        followLinkingSelection();
        return;
    }
    const QList<LinkingSite> &sites = m_project.linkingSites(m_shown);
    QList<QTreeWidgetItem *> items;
    items.reserve(sites.size());
    for (const LinkingSite &s : sites) {
        auto *item = new QTreeWidgetItem({s.url, s.linksExpected, s.linkPageUrl, s.linkPageText, s.description});
        RowColours::paint(item, s.colour, 5);
        items.append(item);
    }
    m_linkingList->addTopLevelItems(items);
    for (const auto &site : std::as_const(m_inFlight)) {
        if (site.first == m_shown)
            paintInFlight(site.second, true);
    }
    followLinkingSelection(); // a refill leaves no row chosen
}

void WebsitesPanel::markSitesInFlight(const QList<QPair<int, int>> &sites)
{
    const QList<QPair<int, int>> before = std::exchange(m_inFlight, sites);
    for (const auto &site : before) {
        if (site.first == m_shown && !m_inFlight.contains(site))
            paintInFlight(site.second, false);
    }
    for (const auto &site : std::as_const(m_inFlight)) {
        if (site.first == m_shown && !before.contains(site))
            paintInFlight(site.second, true);
    }
}

// A site under way is drawn bold on a pale background with a busy sign, so
// every site of a scan that runs several at once can be followed.
void WebsitesPanel::paintInFlight(int row, bool inFlight)
{
    if (row < 0 || row >= m_linkingList->topLevelItemCount())
        return;
    QTreeWidgetItem *item = m_linkingList->topLevelItem(row);
    QFont font = item->font(0);
    font.setBold(inFlight);
    const QVariant background = inFlight ? QVariant(QBrush(QColor(255, 244, 204))) : QVariant();
    for (int c = 0; c < m_linkingList->columnCount(); ++c) {
        item->setFont(c, font);
        item->setData(c, Qt::BackgroundRole, background);
    }
    item->setIcon(0, inFlight ? style()->standardIcon(QStyle::SP_BrowserReload) : QIcon());
}

void WebsitesPanel::updateLinkingRow(int mainPos, int row)
{
    if (mainPos != m_shown || row < 0 || row >= m_linkingList->topLevelItemCount())
        return;
    const LinkingSite &s = m_project.linkingSites(mainPos).at(row);
    QTreeWidgetItem *item = m_linkingList->topLevelItem(row);
    const QStringList texts{s.url, s.linksExpected, s.linkPageUrl, s.linkPageText, s.description};
    for (int c = 0; c < texts.size(); ++c)
        item->setText(c, texts.at(c));
    RowColours::paint(item, s.colour, 5);
    paintInFlight(row, m_inFlight.contains({mainPos, row}));
}

void WebsitesPanel::currentChanged(int pos)
{
    if (m_selecting)
        return;
    if (pos < 0) {
        m_linkingPanel->hide();
        m_shown = -1;
        m_linkingList->clear();
        m_mainList->clearSelection();
        return;
    }
    if (pos != m_shown)
        selectMainSite(pos);
}

void WebsitesPanel::selectMainSite(int pos)
{
    if (pos < 0 || pos >= m_project.mainSiteCount())
        return;
    m_selecting = true;
    m_linkingEntry->setEnabled(true);
    m_linkingEntry->clear();
    m_delMain->setEnabled(true);
    m_editMain->setEnabled(true);
    m_mainList->setCurrentRow(pos);
    m_shown = pos;
    fillLinkingSites();
    for (QWidget *w : std::initializer_list<QWidget *>{m_addLinking, m_delLinking, m_editLinking, m_linkingLabel,
                                                       m_linkingEntry})
        w->show();
    m_linkingPanel->setTitle(tr("Enter linking sites: ") + m_project.mainSite(pos).url);
    m_linkingPanel->show();
    m_delLinking->setEnabled(false);
    m_editLinking->setEnabled(false);
    m_project.setCurrentMainSite(pos);
    m_selecting = false;
}

void WebsitesPanel::addMainSite()
{
    const QString text = m_domain->text();
    if (isBlankEntry(text)) {
        emit statusMessage(tr("Error: Please enter a Remote Site first!"));
        return;
    }
    const int pos = m_project.addMainSite(text);
    selectMainSite(pos);
    m_domain->clear();
    m_domain->setFocus();
    m_project.markEdited();
}

void WebsitesPanel::addLinkingSite()
{
    const int mainPos = m_shown;
    if (mainPos < 0)
        return;
    m_linkingEntry->setText(SiteEditing::strippedEntry(m_linkingEntry->text()));
    const QString text = m_linkingEntry->text();
    if (isBlankEntry(text)) {
        DialogService::instance().message(this, tr("Please enter the Website URL first."));
        m_linkingEntry->setFocus();
        return;
    }
    // Left in the box for the user to correct.
    const QString refusal = SiteEditing::linkingSiteUrlRefusal(text.trimmed());
    if (!refusal.isEmpty()) {
        DialogService::instance().message(this, refusal);
        m_linkingEntry->setFocus();
        return;
    }
    m_project.addLinkingSite(mainPos, text.trimmed());
    m_project.markEdited();
    m_linkingEntry->clear();
    m_linkingEntry->setFocus();
}

void WebsitesPanel::followLinkingSelection()
{
    const bool chosen = firstSelectedLinkingSite() >= 0;
    if (chosen) {
        linkingRowChosen();
    } else {
        m_delLinking->setEnabled(false);
        m_editLinking->setEnabled(false);
    }
    emit linkingSelectionChanged();
}

void WebsitesPanel::linkingRowChosen()
{
    m_delLinking->setEnabled(true);
    m_editLinking->setEnabled(true);
    m_delMain->setEnabled(false);
    m_editMain->setEnabled(false);
}

int WebsitesPanel::selectedMainSite() const
{
    const int row = m_mainList->currentRow();
    if (row < 0 || !m_mainList->item(row)->isSelected())
        return -1;
    return row;
}

int WebsitesPanel::firstSelectedLinkingSite() const
{
    for (int i = 0; i < m_linkingList->topLevelItemCount(); ++i)
        if (m_linkingList->topLevelItem(i)->isSelected())
            return i;
    return -1;
}

void WebsitesPanel::selectLinkingSite(int mainPos, int row)
{
    if (mainPos != m_shown)
        selectMainSite(mainPos);
    if (row < 0 || row >= m_linkingList->topLevelItemCount())
        return;
    m_linkingList->clearSelection();
    QTreeWidgetItem *item = m_linkingList->topLevelItem(row);
    m_linkingList->setCurrentItem(item);
    item->setSelected(true);
    m_linkingList->scrollToItem(item);
}

void WebsitesPanel::deleteLinkingSite()
{
    const int row = firstSelectedLinkingSite();
    if (m_shown < 0 || row < 0)
        return;
    SiteEditing::deleteLinkingSite(m_project, m_shown, row);
}

void WebsitesPanel::deleteMainSite()
{
    const int pos = selectedMainSite() >= 0 ? selectedMainSite() : m_shown;
    if (pos < 0)
        return;
    QString error;
    switch (SiteEditing::deleteMainSite(m_project, pos, &error)) {
    case SiteEditing::MainSiteDeletion::Nothing:
    case SiteEditing::MainSiteDeletion::Removed:
        break;
    case SiteEditing::MainSiteDeletion::Rebuilt:
        emit projectRebuilt();
        break;
    case SiteEditing::MainSiteDeletion::SnapshotFailed:
        DialogService::instance().message(this, error);
        if (m_project.mainSiteCount() > 0)
            m_project.setCurrentMainSite(0);
        break;
    }
}

void WebsitesPanel::editMainSite()
{
    const int pos = selectedMainSite();
    if (pos >= 0)
        EntryEditor::openMainSite(m_project, pos, window());
}

void WebsitesPanel::editLinkingSite()
{
    const int row = firstSelectedLinkingSite();
    if (m_shown >= 0 && row >= 0)
        EntryEditor::openLinkingSite(m_project, m_shown, row, window());
}

void WebsitesPanel::sortLinkingSites(int column)
{
    if (m_shown < 0)
        return;
    ListSortState &state = m_sort[m_shown];
    state.click(column);
    SiteEditing::sortLinkingSites(m_project, m_shown, state);
}

// The first four columns take about three quarters of the list, so that
// "Description" starts inside it and stretches over the rest: a typed
// description is seen without scrolling sideways.
void WebsitesPanel::sizeColumns(int w)
{
    m_linkingList->setColumnWidth(0, w * 2 / 5);
    m_linkingList->setColumnWidth(1, w / 16);
    m_linkingList->setColumnWidth(2, qMax(40, w * 3 / 20));
    m_linkingList->setColumnWidth(3, qMax(40, w * 3 / 20));
}
