#include "schedule/widgets/ScheduleDialog.h"

#include "schedule/ScanScheduler.h"
#include "schedule/ScheduleRule.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

ScheduleDialog::ScheduleDialog(const QString &projectPath, const QString &scanner, QWidget *parent,
                               const SchedulerTools &tools)
    : QDialog(parent), m_project(QFileInfo(projectPath).absoluteFilePath()), m_scanner(scanner),
      m_scheduler(std::make_unique<ScanScheduler>(tools)), m_often(new QComboBox(this)), m_day(new QComboBox(this)),
      m_time(new QTimeEdit(QTime(3, 0), this)), m_calendar(new QLineEdit(this)), m_next(new QLabel(this)),
      m_status(new QLabel(this)), m_save(new QPushButton(tr("Save"), this))
{
    setObjectName(QStringLiteral("frmSchedule"));
    setWindowTitle(tr("Schedule"));
    auto *intro = new QLabel(tr("Scan %1 without the window, with its history and the alerts of the Options, "
                                "even when Reciplex is not running.")
                                 .arg(QFileInfo(m_project).fileName()),
                             this);
    intro->setWordWrap(true);
    intro->setToolTip(m_project);

    m_often->setObjectName(QStringLiteral("cmbOften"));
    m_often->addItems({tr("Not scheduled"), tr("Every hour"), tr("Every day"), tr("Every week"), tr("Calendar expression")});
    m_day->setObjectName(QStringLiteral("cmbDay"));
    for (int d = 1; d <= 7; ++d)
        m_day->addItem(QLocale().dayName(d), d);
    m_time->setObjectName(QStringLiteral("txtTime"));
    m_time->setDisplayFormat(QStringLiteral("HH:mm"));
    m_calendar->setObjectName(QStringLiteral("txtCalendar"));
    m_calendar->setPlaceholderText(QStringLiteral("Mon..Fri *-*-* 06:30"));
    m_calendar->setToolTip(tr("A systemd calendar expression (man systemd.time); only where a systemd user session runs"));
    m_next->setObjectName(QStringLiteral("lblNextRun"));
    m_status->setObjectName(QStringLiteral("lblScheduleStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *form = new QFormLayout;
    form->addRow(tr("How often:"), m_often);
    form->addRow(tr("Day:"), m_day);
    form->addRow(tr("At:"), m_time);
    form->addRow(tr("Expression:"), m_calendar);
    form->addRow(tr("Next run:"), m_next);

    m_save->setObjectName(QStringLiteral("cmdSaveSchedule"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_save, QDialogButtonBox::ApplyRole);
    buttons->addButton(QDialogButtonBox::Close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addStretch(1);
    layout->addWidget(buttons);
    resize(460, sizeHint().height());

    connect(m_often, &QComboBox::currentIndexChanged, this, &ScheduleDialog::updateFields);
    connect(m_save, &QPushButton::clicked, this, &ScheduleDialog::apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showCurrent();
}

ScheduleDialog::~ScheduleDialog() = default;

void ScheduleDialog::showCurrent()
{
    const std::optional<ScheduledScan> scan = m_scheduler->scheduleOf(m_project);
    QString error;
    const std::optional<ScheduleRule> rule = scan ? ScheduleRule::parse(scan->schedule, &error) : std::nullopt;
    if (!rule) {
        m_often->setCurrentIndex(NotScheduled);
        m_next->setText(tr("not scheduled"));
        m_status->setText(m_scheduler->usesSystemd() ? tr("A schedule becomes a systemd timer of your own.")
                                                     : tr("No systemd user session: a schedule goes into your crontab."));
        updateFields();
        return;
    }
    switch (rule->kind) {
    case ScheduleRule::Kind::Hourly: m_often->setCurrentIndex(Hourly); break;
    case ScheduleRule::Kind::Daily: m_often->setCurrentIndex(Daily); break;
    case ScheduleRule::Kind::Weekly: m_often->setCurrentIndex(Weekly); break;
    case ScheduleRule::Kind::Calendar: m_often->setCurrentIndex(Calendar); break;
    }
    m_day->setCurrentIndex(rule->weekday - 1);
    m_time->setTime(QTime(rule->hour, rule->minute));
    m_calendar->setText(rule->calendar);
    m_next->setText(scan->nextRun.isValid() ? QLocale().toString(scan->nextRun, QLocale::LongFormat) : tr("unknown"));
    m_status->setText(tr("Scheduled with the %1.").arg(scan->whereText()));
    updateFields();
}

void ScheduleDialog::updateFields()
{
    const int often = m_often->currentIndex();
    m_day->setEnabled(often == Weekly);
    m_time->setEnabled(often == Daily || often == Weekly);
    m_calendar->setEnabled(often == Calendar);
}

QString ScheduleDialog::scheduleText() const
{
    const QString at = m_time->time().toString(QStringLiteral("HH:mm"));
    switch (m_often->currentIndex()) {
    case Hourly:
        return QStringLiteral("hourly");
    case Daily:
        return QStringLiteral("daily ") + at;
    case Weekly:
        return QStringLiteral("weekly %1 %2").arg(QLocale::c().dayName(m_day->currentData().toInt(), QLocale::ShortFormat), at);
    case Calendar:
        return m_calendar->text().trimmed();
    default:
        return QString();
    }
}

void ScheduleDialog::apply()
{
    const QString text = scheduleText();
    const ScanScheduler::Outcome outcome = text.isEmpty() ? m_scheduler->unschedule(m_project)
                                                          : m_scheduler->schedule(m_project, text, m_scanner);
    if (outcome.ok)
        showCurrent();
    m_status->setText(outcome.message);
}

QString ScheduleDialog::nextRunText() const
{
    return m_next->text();
}

QString ScheduleDialog::statusText() const
{
    return m_status->text();
}
