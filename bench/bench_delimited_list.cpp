// The "Advanced" mode of "Get Links": a script's reply of anchors, one per
// site, separated by "|" and wrapped in markup, made the rows of the list.
// Usage: bench_delimited_list [SITES] (default: as many as fill 16 MiB).
#include "import/DelimitedList.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qsizetype cap = 16 * 1024 * 1024;
    const int wanted = argc > 1 ? std::atoi(argv[1]) : -1;

    QString reply = QStringLiteral("<html><body><pre>\r\n");
    int sites = 0;
    for (;;) {
        const QString host = QStringLiteral("partner%1.example").arg(sites);
        const QString entry = QStringLiteral("<a href=\"http://%1/\" title=\"site %2\">%1</a> |\r\n").arg(host).arg(sites);
        if (wanted >= 0 ? sites >= wanted : reply.size() + entry.size() + 20 > cap)
            break;
        reply += entry;
        ++sites;
    }
    reply += QStringLiteral("</pre></body></html>\r\n");

    QElapsedTimer t;
    t.start();
    const QString list = delimitedListText(reply, QStringLiteral("|"));
    const double markupMs = t.nsecsElapsed() / 1e6;
    const QStringList rows = splitImportList(list);
    const double totalMs = t.nsecsElapsed() / 1e6;
    std::printf("reply of %d sites, %.1f MiB: list text %.1f ms, %lld rows after %.1f ms\n", sites,
                reply.size() / 1048576.0, markupMs, qlonglong(rows.size()), totalMs);
    // Every site once, each followed by an empty entry where " |" met.
    const bool right = rows.size() == 2 * sites + 1 && rows.value(2 * sites - 2) == QStringLiteral("partner%1.example").arg(sites - 1);
    std::printf("rows as expected: %s\n", right ? "yes" : "NO");
    return right ? 0 : 1;
}
