// Page intake and analysis on any page text, without the network. Every
// input is handed to one Linking Site's scan as the answer to its first page;
// the page limit of 1 ends the site once the page is analysed, so queued
// pages are never fetched, and the target of a redirect page reads as
// empty. No crash, no hang, and every input leaves the site finished.
//
// The first byte chooses options (page-type filter, redirect links, URL
// update, links expected, leaving the site once they are found, link notes
// and whether the site's robots.txt blocks the page, for all or for
// Googlebot; without link notes the same bit records anchor texts); the
// rest is the page. The robots.txt is answered at once, off the network, so
// link notes read every link's tag and the page's directives; a file that
// blocks nothing is missing or unreachable by turns.
//
// The readers the scan does not call on every page are given the page too:
// the hidden parts must come in order and apart, and the words of every
// anchor and the meta refresh target are read without a crash.
#include "model/Project.h"
#include "scan/AnchorText.h"
#include "scan/HiddenRanges.h"
#include "scan/MetaRefresh.h"
#include "scan/RobotsCache.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "support/SiteScanRig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// The program folder and the settings live in memory where they can.
QString scratchTemplate()
{
    const QString shm = QStringLiteral("/dev/shm");
    const QString base = QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
    return base + QStringLiteral("/fuzz_pageanalysis-XXXXXX");
}

struct Rig
{
    QTemporaryDir dir{scratchTemplate()};
    SiteScanRig scan;
    int main = 0;

    Rig()
    {
        QDir(dir.path()).mkpath(QStringLiteral("program"));
        ProgramFolder::setPath(dir.path() + QStringLiteral("/program"));
        SettingsStore::useLocation(dir.path() + QStringLiteral("/settings"));

        // Options are run-only values: nothing goes to the settings file, so
        // no input waits for a disk write.
        SettingsStore &store = SettingsStore::instance();
        store.setOverride(Keys::chkAuto, QStringLiteral("1"));
        store.setOverride(Keys::chkLog, QStringLiteral("0"));

        scan.fileTypes = {QStringLiteral(".html"), QStringLiteral(".htm"), QStringLiteral(".php")};
        main = scan.project.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
        scan.project.addLinkingSite(main, QString());
        scan.project.appendRule({kGlobalScope, kGlobalScope, RuleType::ExcludeDirectory, QStringLiteral("private")});
        scan.project.appendRule({kGlobalScope, kGlobalScope, RuleType::ExcludeString, QStringLiteral("logout")});
        scan.robots.setFetch([this](const QString &) {
            return RobotsCache::Answer{robotsBlock ? 200 : robotsStatus,
                                       "User-agent: *\nDisallow: /dir/a\n\nUser-agent: Googlebot\nDisallow: /dir\n"};
        });
    }
    bool robotsBlock = false;
    int robotsStatus = 404;
};

Rig &rig()
{
    static int argc = 1;
    static char name[] = "fuzz_pageanalysis";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Rig r;
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    Rig &r = rig();
    const uint8_t options = data[0];
    const QString page = QString::fromLatin1(reinterpret_cast<const char *>(data + 1), int(size - 1));

    SettingsStore &store = SettingsStore::instance();
    auto flag = [&](const QString &key, int bit) {
        store.setOverride(key, (options & (1 << bit)) ? QStringLiteral("0") : QStringLiteral("1"));
    };
    flag(Keys::chkFileTypes, 0);
    flag(Keys::chkRedirect, 1);
    flag(Keys::chkUpdate, 2);
    flag(Keys::chkAuto2, 5);
    flag(Keys::chkLinkNotes, 7);
    r.robotsBlock = options & (1 << 6);
    r.robotsStatus = size % 2 ? 503 : 404;
    const bool anchorTexts = !(options & (1 << 7)) || (options & (1 << 6));
    store.setOverride(Keys::chkAnchorText, anchorTexts ? QStringLiteral("1") : QStringLiteral("0"));
    static const char *const expected[] = {"1", "3", "0", "100000"};
    const int expectedIndex = (options >> 3) & 3;
    LinkingSite site;
    site.url = QStringLiteral("127.0.0.1/dir/");
    site.linksExpected = QString::fromLatin1(expected[expectedIndex]);
    r.scan.project.updateLinkingSite(r.main, 0, site);
    // robots.txt is read once per scan: each input is a scan of its own.
    r.scan.robots.clear();

    if (!r.scan.start(r.main, 0)) {
        // Only a site that expects no link, left as soon as enough are found,
        // ends before its first page.
        if (expectedIndex == 2 && !(options & (1 << 5)))
            return 0;
        std::abort();
    }
    r.scan.feed(page);
    if (!r.scan.finished())
        std::abort(); // the page limit ends the only site: nothing may stay in flight

    const HiddenRanges hidden = HiddenRanges::ofPage(page);
    qsizetype after = 0;
    for (const HiddenRanges::Range &range : hidden.ranges()) {
        if (range.start < after || range.end <= range.start || range.end > page.size())
            std::abort();
        after = range.end;
    }
    for (qsizetype at = page.indexOf(QLatin1String("href="), 0, Qt::CaseInsensitive); at >= 0;
         at = page.indexOf(QLatin1String("href="), at + 5, Qt::CaseInsensitive)) {
        if (AnchorText::of(page, at).size() > AnchorText::kMaxLength)
            std::abort();
    }
    MetaRefresh::target(page);
    return 0;
}
