#include "history/widgets/HistoryPanel.h"

#include "history/ChangeText.h"
#include "history/HistoryDatabase.h"
#include "history/ProjectHistory.h"

#include <QChart>
#include <QChartView>
#include <QDateTimeAxis>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QSplitter>
#include <QTreeWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The colours of the results list: blue for a link, red for none; amber for
// a link not found that is not yet counted as lost.
const QColor kLinkColour(0, 0, 255);
const QColor kNoLinkColour(255, 0, 0);
const QColor kPendingColour(176, 112, 0);

QString when(const QDateTime &utc)
{
    return QLocale::system().toString(utc.toLocalTime(), QLocale::ShortFormat);
}

QTreeWidget *list(const QStringList &headers, QWidget *parent)
{
    auto *tree = new QTreeWidget(parent);
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setAlternatingRowColors(true);
    tree->setHeaderLabels(headers);
    tree->header()->setStretchLastSection(true);
    return tree;
}

QWidget *titled(QLabel *caption, QTreeWidget *tree, QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(caption);
    layout->addWidget(tree, 1);
    return box;
}

} // namespace

HistoryPanel::HistoryPanel(ProjectHistory &history, QWidget *parent) : QWidget(parent), m_history(history)
{
    setObjectName(QStringLiteral("HistoryPanel"));
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("lblHistory"));
    m_caption->setWordWrap(true);

    m_chart = new QChart;
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_chart->setBackgroundRoundness(0);
    m_chartView = new QChartView(m_chart, this);
    m_chartView->setObjectName(QStringLiteral("chartHistory"));
    m_chartView->setRenderHint(QPainter::Antialiasing);
    m_chartView->setMinimumHeight(220);

    m_changesCaption = new QLabel(this);
    m_changes = list({tr("Change"), tr("Main Site"), tr("Linking Site"), tr("Before"), tr("Now")}, this);
    m_changes->setObjectName(QStringLiteral("lstChanges"));
    m_siteCaption = new QLabel(this);
    m_siteRuns = list({tr("Run"), tr("Status"), tr("Links"), tr("Found On"), tr("Notes"), tr("Errors")}, this);
    m_siteRuns->setToolTip(tr("Runs in grey could not check the site: its page was not read."));
    m_siteRuns->setObjectName(QStringLiteral("lstSiteRuns"));

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_chartView);
    split->addWidget(titled(m_changesCaption, m_changes, split));
    split->addWidget(titled(m_siteCaption, m_siteRuns, split));
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 1);
    split->setStretchFactor(2, 1);
    split->setSizes({260, 140, 140});
    split->setChildrenCollapsible(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_caption);
    layout->addWidget(split, 1);

    // A change picked in the table shows that site run by run.
    connect(m_changes, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *item) {
        m_siteMain = item->text(1);
        m_siteUrl = item->text(2);
        fillSiteRuns();
    });
}

void HistoryPanel::setMainSite(const QString &mainSite)
{
    if (mainSite == m_mainSite)
        return;
    m_mainSite = mainSite;
    refreshLater();
}

void HistoryPanel::chooseLinkingSite(const QString &url)
{
    if (url == m_siteUrl && m_siteMain == m_mainSite)
        return;
    m_siteMain = m_mainSite;
    m_siteUrl = url;
    if (isVisible() && !m_stale)
        fillSiteRuns();
    else
        m_stale = true;
}

void HistoryPanel::historyChanged()
{
    refreshLater();
}

void HistoryPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_stale)
        refresh();
}

void HistoryPanel::refreshLater()
{
    m_stale = true;
    if (isVisible())
        refresh();
}

void HistoryPanel::refresh()
{
    m_stale = false;
    HistoryDatabase *db = m_history.database();
    if (!m_history.hasPath())
        m_caption->setText(tr("This project has not been saved: once it is, every scan is kept in its history, "
                              "beside the project file."));
    else if (!db && !m_history.errorText().isEmpty())
        m_caption->setText(tr("The history cannot be read: %1").arg(m_history.errorText()));
    else if (!db)
        m_caption->setText(tr("No scan of this project is stored yet: the history starts with the next scan."));
    fillChart();
    fillChanges();
    fillSiteRuns();
}

void HistoryPanel::fillChart()
{
    m_chart->removeAllSeries();
    for (QAbstractAxis *axis : m_chart->axes()) {
        m_chart->removeAxis(axis);
        delete axis;
    }
    HistoryDatabase *db = m_history.database();
    const QList<ChartPoint> points = db && !m_mainSite.isEmpty() ? db->chart(m_mainSite) : QList<ChartPoint>();
    if (db) {
        if (m_mainSite.isEmpty())
            m_caption->setText(tr("Choose a Main Site to see its history."));
        else if (points.isEmpty())
            m_caption->setText(tr("%1 has not been scanned since the history began.").arg(m_mainSite));
        else
            m_caption->setText((points.size() == 1 ? tr("%1: 1 run, on %2.") : tr("%1: %3 runs, the latest on %2."))
                                   .arg(m_mainSite, when(points.last().started))
                                   .arg(points.size()));
    }
    if (points.isEmpty())
        return;

    auto *links = new QLineSeries(m_chart);
    links->setName(tr("Reciprocal links"));
    auto *nonLinking = new QLineSeries(m_chart);
    nonLinking->setName(tr("Non-linking sites"));
    int top = 1;
    for (const ChartPoint &p : points) {
        const qreal x = qreal(p.started.toMSecsSinceEpoch());
        links->append(x, p.links);
        nonLinking->append(x, p.nonLinking);
        top = std::max({top, p.links, p.nonLinking});
    }
    for (QLineSeries *s : {links, nonLinking}) {
        s->setPointsVisible(true);
        QPen pen(s == links ? kLinkColour : kNoLinkColour);
        pen.setWidth(2);
        s->setPen(pen);
        m_chart->addSeries(s);
    }

    auto *x = new QDateTimeAxis;
    QDateTime first = points.first().started.toLocalTime();
    QDateTime last = points.last().started.toLocalTime();
    // A single run, or runs within the hour, still get a readable span.
    if (first.secsTo(last) < 3600) {
        first = first.addSecs(-1800);
        last = last.addSecs(1800);
    }
    const bool withinDays = first.daysTo(last) < 3;
    x->setFormat(withinDays ? QStringLiteral("d MMM hh:mm") : QStringLiteral("d MMM yy"));
    x->setRange(first, last);
    x->setTickCount(std::clamp(int(points.size()), 2, 6));
    auto *y = new QValueAxis;
    // Whole-number ticks at a step of 1, 2 or 5 times a power of ten.
    int step = 1;
    for (int power = 1; step * 4 < top; power *= 10) {
        for (int f : {1, 2, 5}) {
            step = f * power;
            if (step * 4 >= top)
                break;
        }
    }
    const int yMax = (top + step - 1) / step * step;
    y->setRange(0, yMax);
    y->setTickCount(yMax / step + 1);
    y->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(x, Qt::AlignBottom);
    m_chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries *s : {links, nonLinking}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

void HistoryPanel::fillChanges()
{
    m_changes->clear();
    HistoryDatabase *db = m_history.database();
    const qint64 latest = db ? db->latestRunId() : 0;
    const RunChanges changes = latest ? db->changesOf(latest) : RunChanges();
    if (!latest)
        m_changesCaption->setText(tr("Changes since the previous run: none stored yet."));
    else if (!changes.hasPrevious())
        m_changesCaption->setText(tr("Changes: the latest run (%1) has no earlier run of its Main Sites to compare with.")
                                      .arg(when(db->runs().last().started)));
    else if (changes.changes.isEmpty())
        m_changesCaption->setText(tr("No changes since %1.").arg(when(changes.previousStarted)));
    else
        m_changesCaption->setText(tr("Changes since %1: %2.").arg(when(changes.previousStarted), ChangeText::summary(changes)));
    QList<QTreeWidgetItem *> items;
    for (const SiteChange &c : changes.changes) {
        // The partner by its URL: two partners may share a host.
        auto *item = new QTreeWidgetItem({ChangeText::kindName(c.kind), c.now.mainSite, c.now.url,
                                          ChangeText::before(c), ChangeText::after(c)});
        QColor colour;
        switch (c.kind) {
        case ChangeKind::Lost:
            colour = kNoLinkColour;
            break;
        case ChangeKind::PossiblyLost:
            colour = kPendingColour;
            break;
        case ChangeKind::New:
            colour = kLinkColour;
            break;
        case ChangeKind::NotChecked:
            colour = palette().color(QPalette::Disabled, QPalette::Text);
            break;
        case ChangeKind::Moved:
        case ChangeKind::NotesChanged:
        case ChangeKind::AnchorChanged:
            break;
        }
        if (colour.isValid()) {
            for (int col = 0; col < item->columnCount(); ++col)
                item->setForeground(col, colour);
        }
        items.append(item);
    }
    m_changes->addTopLevelItems(items);
    for (int col = 0; col < 4; ++col)
        m_changes->resizeColumnToContents(col);
}

void HistoryPanel::fillSiteRuns()
{
    m_siteRuns->clear();
    HistoryDatabase *db = m_history.database();
    if (m_siteUrl.isEmpty()) {
        m_siteCaption->setText(tr("Choose a Linking Site in the list to see its status run by run."));
        return;
    }
    const QList<SiteRunEntry> entries = db ? db->siteHistory(m_siteMain, m_siteUrl) : QList<SiteRunEntry>();
    m_siteCaption->setText(entries.isEmpty() ? tr("%1 has no stored run yet.").arg(m_siteUrl)
                                             : tr("%1, run by run, the latest first:").arg(m_siteUrl));
    QList<QTreeWidgetItem *> items;
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        const SiteRecord &r = it->record;
        QString status = r.status;
        if (!r.missing.isEmpty())
            status += QStringLiteral(", ") + r.missing;
        if (!r.checked)
            status += tr(" - not checked");
        auto *item = new QTreeWidgetItem({when(it->run.started), status, QString::number(r.links),
                                          r.hasLink() ? r.foundOn : QString(), r.notes,
                                          r.errors.trimmed().replace(QLatin1Char('\n'), QStringLiteral("; "))
                                              .replace(QLatin1Char('\t'), QLatin1Char(' '))});
        const QColor colour = !r.checked ? palette().color(QPalette::Disabled, QPalette::Text)
                                         : r.hasLink() ? kLinkColour : kNoLinkColour;
        for (int col = 0; col < item->columnCount(); ++col)
            item->setForeground(col, colour);
        items.append(item);
    }
    m_siteRuns->addTopLevelItems(items);
    for (int col = 0; col < 5; ++col)
        m_siteRuns->resizeColumnToContents(col);
}
