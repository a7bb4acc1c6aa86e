#include "ui/StatisticsPanel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

StatisticsPanel::StatisticsPanel(QWidget *parent)
    : QGroupBox(tr("Scan Progress and Statistics"), parent), m_queue(new QListWidget(this))
{
    setObjectName(QStringLiteral("frameStatistics"));
    m_queue->setObjectName(QStringLiteral("List2"));
    m_queue->setToolTip(tr("These webpages are queued about to be scanned for links to your Main Site"));
    auto *queueColumn = new QVBoxLayout;
    queueColumn->addWidget(new QLabel(tr("Webpages Queued:"), this));
    queueColumn->addWidget(m_queue, 1);

    auto *stats = new QGroupBox(tr("Scan Statistics"), this);
    stats->setObjectName(QStringLiteral("frameScanStatistics"));
    auto *form = new QFormLayout(stats);
    static const char *const labels[5] = {"Main Sites Scanned:", "Linking Sites Scanned:", "Pages Scanned:",
                                          "Pages Found:", "Links Found:"};
    static const char *const names[5] = {"lblMainSitesScanned", "lblLinkingSitesScanned", "lblPagesScanned",
                                         "lblPagesFound", "lblLinksFound"};
    for (int i = 0; i < 5; ++i) {
        m_values[i] = new QLabel(QStringLiteral("0"), stats);
        m_values[i]->setObjectName(QLatin1String(names[i]));
        m_values[i]->setMinimumWidth(70);
        form->addRow(tr(labels[i]), m_values[i]);
    }

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(queueColumn, 1);
    layout->addWidget(stats);
}

void StatisticsPanel::show(const ScanStatistics &s)
{
    const qint64 values[5] = {s.mainSites, s.linkingSites, s.pagesScanned, s.pagesFound, s.linksFound};
    for (int i = 0; i < 5; ++i)
        m_values[i]->setText(QString::number(values[i]));
}

QString StatisticsPanel::value(int row) const
{
    return row >= 0 && row < 5 ? m_values[row]->text() : QString();
}
