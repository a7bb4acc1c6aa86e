// The analysis of one page of many anchors, off the network, as a scan sees
// it: link notes, anchor texts, the anchors queued. The page is handed to one
// Linking Site's scan as the answer to its first page, with a page limit of
// 1, so the site ends with this page; the robots.txt is answered at once.
//
// Usage: bench_page_analysis [ANCHORS] (default 100,000). Prints, for each
// page shape, the best of three runs with the link notes and anchor texts on
// ("1") and off ("0"). Build Release. Time that grows faster than the page
// (try 200,000) means a reader is no longer linear.
#include "model/Project.h"
#include "scan/RobotsCache.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/SiteScanRig.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

struct Shape
{
    const char *name;
    QString linksExpected;
    QString page;
};

// Every anchor to the Main Site, none closed, each followed by a comment and
// a script that never end: what a careless or hostile page makes of the
// readers that look for an end.
QString unendingPageOf(int anchors)
{
    QString page = QStringLiteral("<html><body>\n");
    page.reserve(anchors * 80);
    for (int i = 0; i < anchors; ++i)
        page += QStringLiteral("<a href=\"http://www.mysite.com/links.htm?from=%1\">words %1 <!-- <script>x\n").arg(i);
    return page;
}

QString pageOf(int anchors, bool allToMainSite)
{
    QString page = QStringLiteral("<html><head><title>Partners</title><meta name=robots content=index>\n"
                                  "<link rel=canonical href=\"/partners/\"></head><body>\n");
    page.reserve(anchors * 120);
    for (int i = 0; i < anchors; ++i) {
        // Every hundredth partner sits in a block the visitor never sees.
        const bool hidden = i % 100 == 99;
        if (hidden)
            page += QStringLiteral("<div style=\"display:none\">");
        if (allToMainSite)
            page += QStringLiteral("<p><a href=\"http://www.mysite.com/links.htm?from=%1\" rel=\"sponsored\">"
                                   "Best <b>blue</b> widgets &amp; more, no. %1</a></p>\n")
                        .arg(i);
        else
            page += QStringLiteral("<p><a href=\"page%1.html\" class=\"partner\">Partner <i>number</i> %1</a>"
                                   "<!-- added %1 --></p>\n")
                        .arg(i);
        if (hidden)
            page += QStringLiteral("</div>\n");
    }
    page += QStringLiteral("<a href=\"http://www.mysite.com/links.htm\"><img src=me.png alt=\"My Site\"></a>\n"
                           "</body></html>\n");
    return page;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int anchors = argc > 1 ? std::atoi(argv[1]) : 100000;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("program"));
    ProgramFolder::setPath(dir.path() + QStringLiteral("/program"));
    SettingsStore::useLocation(dir.path() + QStringLiteral("/settings"));
    QFile types(ProgramFolder::filePath(QStringLiteral("filetypes.txt")));
    if (types.open(QIODevice::WriteOnly))
        types.write(".html\r\n.htm\r\n.php\r\n");
    SettingsStore &store = SettingsStore::instance();
    for (const QString &key : {Keys::chkAudioEmail, Keys::chkAudioNext, Keys::chkAudioFinished, Keys::chkUpdate})
        store.setOverride(key, QStringLiteral("0"));
    store.setOverride(Keys::txtTimeout, QStringLiteral("600"));

    SiteScanRig rig;
    rig.fileTypes = {QStringLiteral(".html"), QStringLiteral(".htm"), QStringLiteral(".php")};
    Project &project = rig.project;
    const int main = project.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
    project.addLinkingSite(main, QStringLiteral("127.0.0.1/partners/"));
    rig.robots.setFetch([](const QString &) {
        return RobotsCache::Answer{200, "User-agent: *\nDisallow: /private/\n"};
    });

    const Shape shapes[] = {
        {"anchors to other pages, one link", QStringLiteral("1"), pageOf(anchors, false)},
        {"every anchor a link to the Main Site", QString::number(anchors + 1), pageOf(anchors, true)},
        {"links never closed, comments never ended", QString::number(anchors), unendingPageOf(anchors)},
    };
    std::printf("%d anchors a page\n", anchors);
    int failures = 0;
    for (const Shape &shape : shapes) {
        for (const char *on : {"0", "1"}) {
            store.setOverride(Keys::chkLinkNotes, QLatin1String(on));
            // By name, so that the same benchmark measures code from before the key.
            store.setOverride(QStringLiteral("chkAnchorText"), QLatin1String(on));
            LinkingSite site = project.linkingSites(main).at(0);
            site.linksExpected = shape.linksExpected;
            project.updateLinkingSite(main, 0, site);
            double best = -1;
            qsizetype rows = 0;
            QString first;
            for (int run = 0; run < 3; ++run) {
                rig.robots.clear();
                rig.start(main, 0);
                QElapsedTimer t;
                t.start();
                rig.feed(shape.page);
                const double ms = t.nsecsElapsed() / 1e6;
                if (!rig.finished()) {
                    std::printf("the scan did not end with the page\n");
                    ++failures;
                }
                best = best < 0 ? ms : qMin(best, ms);
                const QList<LinkResult> &results = rig.site()->record().rows;
                rows = results.size();
                first = results.isEmpty() ? QString() : results.constFirst().notes;
            }
            std::printf("%-40s notes and anchors %s: %9.1f ms  (%.1f MiB, %lld rows; first row notes \"%s\")\n",
                        shape.name, on, best, shape.page.size() / 1048576.0, qlonglong(rows), qPrintable(first));
        }
    }
    return failures == 0 ? 0 : 1;
}
