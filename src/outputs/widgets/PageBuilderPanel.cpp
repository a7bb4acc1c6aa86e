#include "outputs/widgets/PageBuilderPanel.h"

#include "outputs/DialogFilter.h"
#include "outputs/LinkPageBuilder.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "ui/DialogService.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

int slot(Project::PageText which)
{
    return which == Project::PageText::Before ? 0 : which == Project::PageText::Links ? 1 : 2;
}

const QString &keyOf(Project::PageText which)
{
    static const QString *keys[3] = {&Keys::txtHTML1, &Keys::txtHTML2, &Keys::txtHTML3};
    return *keys[slot(which)];
}

const Project::PageText kTexts[3] = {Project::PageText::Before, Project::PageText::Links,
                                     Project::PageText::After};

// The project's CR LF text as a text area holds it.
QString withLf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// What the area holds, character for character: toPlainText() would turn
// every no-break space into a plain one.
QString areaText(const QPlainTextEdit *area)
{
    QString text = area->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

} // namespace

PageBuilderPanel::PageBuilderPanel(Project &project, DialogService &dialogs, QWidget *parent)
    : QWidget(parent), m_project(project), m_dialogs(dialogs)
{
    auto *frame = new QGroupBox(QStringLiteral("Page Builder"), this);
    frame->setObjectName(QStringLiteral("framePageBuilder"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    m_generate = new QPushButton(QStringLiteral("Generate Links"), frame);
    m_generate->setObjectName(QStringLiteral("Command5"));
    m_generate->setToolTip(QStringLiteral("Generate links"));
    m_save = new QPushButton(QStringLiteral("Save Webpage"), frame);
    m_save->setObjectName(QStringLiteral("Command6"));
    m_save->setToolTip(QStringLiteral("Save Webpage"));
    m_newWin = new QCheckBox(QStringLiteral("Links open in new window"), frame);
    m_newWin->setObjectName(QStringLiteral("chkNewWin"));
    m_bullet = new QCheckBox(QStringLiteral("Bulleted List"), frame);
    m_bullet->setObjectName(QStringLiteral("chkBullet"));
    m_optAll = new QRadioButton(QStringLiteral("Generate links for all Main Sites"), frame);
    m_optAll->setObjectName(QStringLiteral("optAll0"));
    m_optOne = new QRadioButton(QStringLiteral("Generate links for:"), frame);
    m_optOne->setObjectName(QStringLiteral("optAll1"));
    auto *options = new QButtonGroup(this);
    options->addButton(m_optAll, 0);
    options->addButton(m_optOne, 1);
    m_chooser = new QComboBox(frame);
    m_chooser->setObjectName(QStringLiteral("Combo3"));
    m_chooser->setEditable(true);
    m_chooser->setInsertPolicy(QComboBox::NoInsert);
    m_chooser->setEditText(QStringLiteral("Select"));
    m_chooser->setMinimumContentsLength(24);

    auto *controls = new QGridLayout;
    controls->addWidget(m_generate, 0, 0);
    controls->addWidget(m_save, 1, 0);
    controls->addWidget(m_newWin, 0, 1);
    controls->addWidget(m_bullet, 1, 1);
    controls->addWidget(m_optAll, 0, 2, 1, 2);
    controls->addWidget(m_optOne, 1, 2);
    controls->addWidget(m_chooser, 1, 3);
    controls->setColumnStretch(3, 1);

    const char *labels[3] = {"Pre-Links HTML", "Generated Links", "Post-Links HTML"};
    const char *tips[3] = {
        "All HTML on your page that comes before your links goes here.",
        "Links will be generated here based on your Links List.  You can edit it afterwards if you wish.",
        "All HTML on your page that comes after your links goes here.",
    };
    auto *layout = new QVBoxLayout(frame);
    layout->addLayout(controls);
    for (int i = 0; i < 3; ++i) {
        auto *label = new QLabel(QString::fromLatin1(labels[i]), frame);
        m_areas[i] = new QPlainTextEdit(frame);
        m_areas[i]->setObjectName(QStringLiteral("txtHTML%1").arg(i + 1));
        m_areas[i]->setToolTip(QString::fromLatin1(tips[i]));
        m_areas[i]->setLineWrapMode(QPlainTextEdit::NoWrap);
        label->setBuddy(m_areas[i]);
        layout->addWidget(label);
        layout->addWidget(m_areas[i], 1);
    }

    // Restore what the settings remember.
    SettingsStore &store = SettingsStore::instance();
    m_newWin->setChecked(store.readFlag(Keys::chkNewWin, true));
    m_bullet->setChecked(store.readFlag(Keys::chkBullet, false));
    m_project.setPageText(Project::PageText::Before, store.read(Keys::txtHTML1, ProjectDefaults::htmlBefore));
    m_project.setPageText(Project::PageText::Links, store.read(Keys::txtHTML2, ProjectDefaults::settingsHtmlLinks));
    m_project.setPageText(Project::PageText::After, store.read(Keys::txtHTML3, ProjectDefaults::htmlAfter));
    for (Project::PageText which : kTexts)
        projectTextChanged(which);
    m_optAll->setChecked(true);
    chooseAll(true);

    connect(m_generate, &QPushButton::clicked, this, &PageBuilderPanel::generateLinks);
    connect(m_save, &QPushButton::clicked, this, &PageBuilderPanel::saveWebpage);
    connect(m_newWin, &QCheckBox::clicked, this, [](bool on) {
        SettingsStore::instance().write(Keys::chkNewWin, on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(m_bullet, &QCheckBox::clicked, this, [](bool on) {
        SettingsStore::instance().write(Keys::chkBullet, on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(m_optAll, &QRadioButton::clicked, this, [this] { chooseAll(true); });
    connect(m_optOne, &QRadioButton::clicked, this, [this] { chooseAll(false); });
    for (Project::PageText which : kTexts)
        connect(m_areas[slot(which)], &QPlainTextEdit::textChanged, this, [this, which] { areaEdited(which); });
    connect(&m_project, &Project::pageTextChanged, this, &PageBuilderPanel::projectTextChanged);
}

QPlainTextEdit *PageBuilderPanel::textArea(Project::PageText which) const
{
    return m_areas[slot(which)];
}

void PageBuilderPanel::chooseAll(bool all)
{
    SettingsStore::instance().write(Keys::optAll, all ? QStringLiteral("0") : QStringLiteral("1"));
    m_chooser->setEnabled(!all);
}

void PageBuilderPanel::refillChooser()
{
    const QString text = m_chooser->currentText();
    m_chooser->clear();
    for (const MainSite &m : m_project.mainSites())
        m_chooser->addItem(m.url);
    m_chooser->setCurrentIndex(-1);
    m_chooser->setEditText(text);
}

void PageBuilderPanel::areaEdited(Project::PageText which)
{
    if (m_updatingArea)
        return;
    // The project announces the change, which writes the key.
    m_project.setPageText(which, areaText(textArea(which)));
}

void PageBuilderPanel::projectTextChanged(Project::PageText which)
{
    QPlainTextEdit *area = textArea(which);
    const QString shown = withLf(m_project.pageText(which));
    if (areaText(area) != shown) {
        m_updatingArea = true;
        area->setPlainText(shown);
        m_updatingArea = false;
    }
    SettingsStore::instance().write(keyOf(which), m_project.pageText(which));
}

void PageBuilderPanel::generateLinks()
{
    LinkPageOptions options;
    options.allMainSites = m_optAll->isChecked();
    options.chosenMainSite = m_chooser->currentText();
    options.newWindow = m_newWin->isChecked();
    options.bullets = m_bullet->isChecked();
    if (!::generateLinks(m_project, options))
        m_dialogs.message(this, kNoResultsForLinks);
}

void PageBuilderPanel::saveWebpage()
{
    const QString path =
        m_dialogs.saveFile(this, ProgramFolder::userFilesFolder(), QString(), dialogFilter(kLinkPageSaveFilter));
    if (path.isEmpty())
        return;
    FileFailure failure;
    if (!saveLinkPage(path, linkPageText(m_project), &failure))
        m_dialogs.message(this, failure.message());
}
