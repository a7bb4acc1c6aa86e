#pragma once

#include "scan/ScanFrontEnd.h"

#include <QGroupBox>

class QLabel;
class QListWidget;

// "Scan Progress and Statistics": the queue of pages about to be scanned and
// the five counters of the current run.
class StatisticsPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit StatisticsPanel(QWidget *parent = nullptr);

    void show(const ScanStatistics &stats);
    QListWidget *queue() const { return m_queue; }
    QString value(int row) const; // 0..4, in the order of the labels

private:
    QListWidget *m_queue;
    QLabel *m_values[5];
};
