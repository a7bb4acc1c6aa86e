#include "ui/EntryEditor.h"

#include "model/SiteEditing.h"
#include "ui/DialogService.h"
#include "url/TextMatch.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

// The rule-type choices in the order they are tested, with the key each stands for.
static const char *const kTypeLabels[] = {
    "Limit to directories with this name:", "Exclude Directories with this name:",
    "Limit to URLs that contain this string:", "Exclude URLs that contain this string:",
    "Limit to URLs in this directory root:", "Exclude URLs in this directory root:"};

QPointer<EntryEditor> &EntryEditor::slot(Kind kind)
{
    static QPointer<EntryEditor> windows[3];
    return windows[int(kind)];
}

EntryEditor *EntryEditor::openWindow(Kind kind)
{
    return slot(kind).data();
}

void EntryEditor::closeAll()
{
    for (Kind k : {Kind::LinkingSite, Kind::MainSite, Kind::Global})
        if (slot(k))
            slot(k)->close();
}

// A closed window is gone for good, even before Qt deletes it.
void EntryEditor::closeEvent(QCloseEvent *event)
{
    if (slot(m_kind) == this)
        slot(m_kind) = nullptr;
    QWidget::closeEvent(event);
}

static EntryEditor *bringForward(EntryEditor *editor)
{
    editor->show();
    editor->raise();
    editor->activateWindow();
    return editor;
}

EntryEditor *EntryEditor::openLinkingSite(Project &project, int mainPos, int row, QWidget *parent)
{
    if (slot(Kind::LinkingSite))
        return bringForward(slot(Kind::LinkingSite));
    if (mainPos < 0 || mainPos >= project.mainSiteCount() || row < 0
        || row >= project.linkingSites(mainPos).size())
        return nullptr;
    slot(Kind::LinkingSite) = new EntryEditor(Kind::LinkingSite, project, mainPos, row, parent);
    return bringForward(slot(Kind::LinkingSite));
}

EntryEditor *EntryEditor::openMainSite(Project &project, int mainPos, QWidget *parent)
{
    if (slot(Kind::MainSite))
        return bringForward(slot(Kind::MainSite));
    if (mainPos < 0 || mainPos >= project.mainSiteCount())
        return nullptr;
    slot(Kind::MainSite) = new EntryEditor(Kind::MainSite, project, mainPos, -1, parent);
    return bringForward(slot(Kind::MainSite));
}

EntryEditor *EntryEditor::openGlobal(Project &project, QWidget *parent)
{
    if (!slot(Kind::Global))
        slot(Kind::Global) = new EntryEditor(Kind::Global, project, -1, -1, parent);
    return bringForward(slot(Kind::Global));
}

QLineEdit *EntryEditor::addField(QFormLayout *form, const char *name, const QString &label, const QString &tip,
                                 const QString &value)
{
    auto *box = new QLineEdit(value, this);
    box->setObjectName(QLatin1String(name));
    box->setToolTip(tip);
    form->addRow(label, box);
    m_fields.append(box);
    return box;
}

EntryEditor::EntryEditor(Kind kind, Project &project, int mainPos, int row, QWidget *parent)
    : QWidget(parent, Qt::Window), m_kind(kind), m_project(project),
      m_rules(new QTreeWidget(this)), m_types(new QButtonGroup(this)), m_value(new QLineEdit(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    const QString siteTip = tr("Enter the URL of the website/page you want to search for links.");
    const QString pageTip = tr("Optional - Enter the link text you would to use for this site in your generated HTML pages.");

    if (kind == Kind::LinkingSite) {
        setObjectName(QStringLiteral("frmEditEntry"));
        setWindowTitle(tr("Edit an entry"));
        const LinkingSite &site = project.linkingSites(mainPos).at(row);
        m_mainId = project.mainSite(mainPos).id;
        m_rowId = site.id;
        m_mainUrl = project.mainSite(mainPos).url;
        m_remoteUrl = site.url;
        auto *form = new QFormLayout;
        auto *url = addField(form, "txtUrl", tr("Website URL:"), siteTip, site.url);
        auto *expected = addField(form, "txtLinksExpected", tr("Links expected:"),
                                  tr("Optional - Enter the number of links you expect to be on this site.  Default is 1."),
                                  site.linksExpected);
        auto *pageUrl = addField(form, "txtLinkPageUrl", tr("Link Page URL:"),
                                 tr("Optional - Enter the URL you would to use for this site in your generated HTML pages."),
                                 site.linkPageUrl);
        auto *pageText = addField(form, "txtLinkPageText", tr("Link Page Text:"), pageTip, site.linkPageText);
        addField(form, "txtDescription", tr("Description:"), pageTip, site.description);
        layout->addLayout(form);
        layout->addWidget(new QLabel(tr("Edit rules for this remote site:"), this));
        // Enter in "Description:" does nothing; in the other four it means OK.
        for (QLineEdit *box : {url, expected, pageUrl, pageText})
            connect(box, &QLineEdit::returnPressed, this, &EntryEditor::accept);
    } else if (kind == Kind::MainSite) {
        setObjectName(QStringLiteral("frmEditMain"));
        setWindowTitle(tr("Edit an entry"));
        m_mainId = project.mainSite(mainPos).id;
        m_mainUrl = project.mainSite(mainPos).url;
        m_remoteUrl = kGlobalScope;
        auto *form = new QFormLayout;
        auto *url = addField(form, "txtMainUrl", tr("Main Site URL:"), siteTip, m_mainUrl);
        layout->addLayout(form);
        layout->addWidget(new QLabel(tr("Edit rules for this main site:"), this));
        layout->addWidget(new QLabel(tr("These rules will apply to all Linking Sites grouped with this Main Site"), this));
        connect(url, &QLineEdit::returnPressed, this, &EntryEditor::accept);
    } else {
        setObjectName(QStringLiteral("frmGlobalRules"));
        setWindowTitle(tr("Global Rules Editor"));
        m_mainUrl = kGlobalScope;
        m_remoteUrl = kGlobalScope;
        layout->addWidget(new QLabel(tr("Edit Global Rules"), this));
        layout->addWidget(new QLabel(tr("These rules will apply globally to all sites"), this));
    }

    m_rules->setObjectName(QStringLiteral("lstRules"));
    m_rules->setRootIsDecorated(false);
    m_rules->setHeaderLabels({tr("Main Site"), tr("Linking Site"), tr("Rule Type"), tr("Rule Value")});
    m_rules->setSelectionMode(QAbstractItemView::SingleSelection);
    layout->addWidget(m_rules, 1);
    for (const Rule &r : project.scopeRules(scope(), m_mainUrl, m_remoteUrl)) {
        // Listed rules show their scope as it is seen from this editor.
        Rule shown = r;
        if (kind != Kind::LinkingSite)
            shown.remoteSite = kGlobalScope;
        if (kind == Kind::Global)
            shown.mainSite = kGlobalScope;
        listRule(shown);
    }

    auto *typeBox = new QGroupBox(kind == Kind::Global ? tr("Rule:") : QString(), this);
    auto *typeGrid = new QGridLayout(typeBox);
    for (int i = 0; i < 6; ++i) {
        auto *option = new QRadioButton(tr(kTypeLabels[i]), typeBox);
        option->setObjectName(QStringLiteral("optRule%1").arg(i));
        m_types->addButton(option, i);
        typeGrid->addWidget(option, i / 2, i % 2);
    }
    layout->addWidget(typeBox);

    auto *valueRow = new QHBoxLayout;
    m_value->setObjectName(QStringLiteral("txtRuleValue"));
    valueRow->addWidget(new QLabel(tr("Value:"), this));
    valueRow->addWidget(m_value, 1);
    auto *add = new QPushButton(tr("Add Rule"), this);
    add->setObjectName(QStringLiteral("cmdAddRule"));
    auto *del = new QPushButton(tr("Delete Rule"), this);
    del->setObjectName(QStringLiteral("cmdDeleteRule"));
    valueRow->addWidget(add);
    valueRow->addWidget(del);
    layout->addLayout(valueRow);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto *cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(m_value, &QLineEdit::returnPressed, this, &EntryEditor::addRule);
    connect(add, &QPushButton::clicked, this, &EntryEditor::addRule);
    connect(del, &QPushButton::clicked, this, &EntryEditor::deleteRule);
    connect(ok, &QPushButton::clicked, this, &EntryEditor::accept);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
    resize(620, kind == Kind::LinkingSite ? 560 : 440);
}

Project::Scope EntryEditor::scope() const
{
    switch (m_kind) {
    case Kind::LinkingSite: return Project::Scope::LinkingSite;
    case Kind::MainSite: return Project::Scope::MainSite;
    case Kind::Global: break;
    }
    return Project::Scope::Global;
}

void EntryEditor::listRule(const Rule &rule)
{
    auto *item = new QTreeWidgetItem(m_rules, {rule.mainSite, rule.remoteSite, rule.ruleType, rule.ruleValue});
    (void)item;
}

void EntryEditor::addRule()
{
    const QString value = m_value->text();
    if (isBlankEntry(value)) {
        DialogService::instance().message(this, tr("Please enter a rule to add."), tr("Error"));
        return;
    }
    const int type = m_types->checkedId();
    if (type < 0 || type >= RuleType::all.size()) {
        DialogService::instance().message(this, tr("Please select a rule type before adding a rule."));
        return;
    }
    Rule rule{kGlobalScope, kGlobalScope, RuleType::all.at(type), value};
    if (m_kind == Kind::LinkingSite) {
        rule.mainSite = m_mainUrl;
        rule.remoteSite = m_fields.first()->text(); // the Website URL box as it reads now
    } else if (m_kind == Kind::MainSite) {
        rule.mainSite = m_mainUrl;
    }
    listRule(rule);
    m_value->clear();
    m_value->setFocus();
}

void EntryEditor::deleteRule()
{
    QTreeWidgetItem *item = m_rules->currentItem();
    if (!item || !item->isSelected())
        return;
    delete item;
}

void EntryEditor::accept()
{
    if (m_kind == Kind::LinkingSite) {
        const QString refusal = SiteEditing::linkingSiteUrlRefusal(m_fields.at(0)->text());
        if (!refusal.isEmpty()) {
            DialogService::instance().message(this, refusal);
            m_fields.at(0)->setFocus();
            return;
        }
    }
    QList<Rule> working;
    for (int i = 0; i < m_rules->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_rules->topLevelItem(i);
        working.append(Rule{item->text(0), item->text(1), item->text(2), item->text(3)});
    }
    // The entry is found by its identity: it may have moved, been sorted or
    // renamed (a scan with chkUpdate, the other editor) while the window was open.
    const int mainPos = m_kind == Kind::Global ? -1 : m_project.mainSitePositionOf(m_mainId);
    const int row = m_kind == Kind::LinkingSite ? m_project.linkingSitePositionOf(mainPos, m_rowId) : -1;
    if ((m_kind == Kind::MainSite && mainPos < 0) || (m_kind == Kind::LinkingSite && row < 0)) {
        DialogService::instance().message(
            this, m_kind == Kind::MainSite
                      ? tr("This Main Site is no longer in the project, so the changes cannot be stored.")
                      : tr("This Linking Site is no longer in the project, so the changes cannot be stored."));
        return;
    }

    // The scope is the one listed on opening: the rules keep the texts the
    // entry had then.
    m_project.replaceScopeRules(scope(), m_mainUrl, m_remoteUrl, working);
    if (m_kind == Kind::LinkingSite) {
        LinkingSite columns;
        columns.url = m_fields.at(0)->text();
        columns.linksExpected = m_fields.at(1)->text();
        columns.linkPageUrl = m_fields.at(2)->text();
        columns.linkPageText = m_fields.at(3)->text();
        columns.description = m_fields.at(4)->text();
        m_project.updateLinkingSite(mainPos, row, columns);
    } else if (m_kind == Kind::MainSite) {
        m_project.renameMainSite(mainPos, m_fields.at(0)->text());
    }
    m_project.markEdited();
    close();
}
