// The "Links" tab's results list with 10,000 rows: appending as a scan does,
// sorting by header clicks, scrolling, and appending into a sorted list.
#include "model/Project.h"
#include "outputs/widgets/ResultsPanel.h"
#include "settings/SettingsStore.h"
#include "ui/DialogService.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cstdio>

namespace {

LinkResult row(int i)
{
    const bool found = i % 3 != 0;
    return LinkResult{found ? 2 : 1,
                      QStringLiteral("main%1.example").arg(i % 10),
                      QStringLiteral("partner%1.example").arg((i * 7919) % 100000),
                      found ? QStringLiteral("Direct Link") : QStringLiteral("None Found (Timeout)"),
                      found ? QStringLiteral("001") : QStringLiteral("000"),
                      QStringLiteral("partner%1.example/links/page%2.htm").arg(i).arg(i % 17),
                      found ? RowColour::Blue : RowColour::Red};
}

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// Lets the list lay itself out and paint, as the event loop would.
void settle(QTreeView *view)
{
    QApplication::processEvents();
    view->viewport()->repaint();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SettingsStore::useLocation(dir.path());
    const int rows = 10000;

    Project project;
    ResultsPanel panel(project, DialogService::instance(), {});
    panel.resize(1000, 700);
    panel.show();
    QTreeView *list = panel.resultsList();
    settle(list);

    // A scan appends one row at a time and lets events run after each.
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < rows; ++i) {
        project.appendResult(row(i));
        if (i % 50 == 0)
            settle(list);
    }
    settle(list);
    std::printf("append %d rows unsorted (paint every 50): %.1f ms total, %.1f us per row\n", rows, ms(t),
                ms(t) * 1000 / rows);

    double worst = 0;
    for (int column : {2, 1, 4, 3, 0, 1}) {
        t.restart();
        panel.sortResults(column);
        settle(list);
        worst = std::max(worst, ms(t));
        std::printf("sort by column %d (%s) and repaint: %.1f ms\n", column,
                    panel.resultsSort().descending ? "descending" : "ascending", ms(t));
    }
    std::printf("worst sort: %.1f ms\n", worst);

    QScrollBar *bar = list->verticalScrollBar();
    int pages = 0;
    double worstPage = 0;
    t.restart();
    for (int v = bar->minimum(); v <= bar->maximum(); v += bar->pageStep() * 10, ++pages) {
        QElapsedTimer page;
        page.start();
        bar->setValue(v);
        settle(list);
        worstPage = std::max(worstPage, ms(page));
    }
    std::printf("scroll through the list in %d jumps: %.1f ms total, %.2f ms per jump, worst %.2f ms\n", pages,
                ms(t), ms(t) / pages, worstPage);

    t.restart();
    list->scrollToBottom();
    settle(list);
    list->scrollToTop();
    settle(list);
    std::printf("scroll to bottom and back to top: %.1f ms\n", ms(t));

    // A scan appending into the sorted list: each row moves to its place.
    const int more = 2000;
    double worstAppend = 0;
    t.restart();
    for (int i = 0; i < more; ++i) {
        QElapsedTimer one;
        one.start();
        project.appendResult(row(rows + i));
        if (i % 50 == 0)
            settle(list);
        worstAppend = std::max(worstAppend, ms(one));
    }
    settle(list);
    std::printf("append %d rows into the sorted list of %d: %.1f ms total, %.1f us per row, worst %.2f ms\n",
                more, rows, ms(t), ms(t) * 1000 / more, worstAppend);
    const bool ordered = isInOrder(project.results(), panel.resultsSort());
    std::printf("project rows in sorted order afterwards: %s\n", ordered ? "yes" : "NO");
    return ordered ? 0 : 1;
}
