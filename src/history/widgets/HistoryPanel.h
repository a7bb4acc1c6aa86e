#pragma once

#include <QWidget>

class ProjectHistory;
class QChart;
class QChartView;
class QLabel;
class QTreeWidget;

// The "History" tab: the current Main Site's reciprocal links and
// non-linking sites run by run as a chart, the changes of the latest run,
// and the chosen Linking Site's status run by run. It reads the project's
// history database whenever something it shows may have changed, and only
// while it is on display.
class HistoryPanel : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryPanel(ProjectHistory &history, QWidget *parent = nullptr);

    // The Main Site of the chart, normalised as the result rows carry it.
    void setMainSite(const QString &mainSite);
    // The Linking Site whose runs are listed, by its URL; "" for none.
    void chooseLinkingSite(const QString &url);
    // The database or its content changed (a scan stored, another project).
    void historyChanged();

    QChartView *chartView() const { return m_chartView; }
    QTreeWidget *changesList() const { return m_changes; }
    QTreeWidget *siteRunsList() const { return m_siteRuns; }
    QLabel *captionLabel() const { return m_caption; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void refresh();
    void refreshLater();
    void fillChart();
    void fillChanges();
    void fillSiteRuns();

    ProjectHistory &m_history;
    QString m_mainSite;
    QString m_siteMain;   // the Main Site of the listed Linking Site
    QString m_siteUrl;
    bool m_stale = true;
    QLabel *m_caption;
    QChart *m_chart;
    QChartView *m_chartView;
    QLabel *m_changesCaption;
    QTreeWidget *m_changes;
    QLabel *m_siteCaption;
    QTreeWidget *m_siteRuns;
};
