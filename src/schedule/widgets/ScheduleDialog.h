#pragma once

#include "schedule/SchedulerTools.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class ScanScheduler;

// "Schedule…" of the Project menu: when the project is scanned without the
// window, over the code of reciplex-scan --schedule, and when it runs next.
class ScheduleDialog : public QDialog
{
    Q_OBJECT
public:
    enum Often { NotScheduled, Hourly, Daily, Weekly, Calendar };

    ScheduleDialog(const QString &projectPath, const QString &scanner, QWidget *parent = nullptr,
                   const SchedulerTools &tools = SchedulerTools::fromEnvironment());
    ~ScheduleDialog() override;

    void apply();   // "Save": schedules, reschedules or removes
    QString scheduleText() const;   // what "Save" schedules; "" for none
    QString nextRunText() const;
    QString statusText() const;

    QComboBox *oftenBox() const { return m_often; }
    QComboBox *dayBox() const { return m_day; }
    QTimeEdit *timeBox() const { return m_time; }
    QLineEdit *calendarBox() const { return m_calendar; }

private:
    void showCurrent();
    void updateFields();

    QString m_project;
    QString m_scanner;
    std::unique_ptr<ScanScheduler> m_scheduler;
    QComboBox *m_often;
    QComboBox *m_day;
    QTimeEdit *m_time;
    QLineEdit *m_calendar;
    QLabel *m_next;
    QLabel *m_status;
    QPushButton *m_save;
};
