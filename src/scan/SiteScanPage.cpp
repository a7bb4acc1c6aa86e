// A page's analysis for one Linking Site: warnings in the page text, the
// anchors read line by line, link classification, queueing same-site pages,
// following redirect pages, and the closing row of the site.
#include "scan/SiteScan.h"

#include "net/FetchChannel.h"
#include "net/WholePageDownload.h"
#include "scan/MetaRefresh.h"
#include "scan/PageAnalyser.h"
#include "scan/PageCache.h"
#include "scan/ScanRules.h"
#include "scan/ResultNumbers.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

#include <QUrl>

namespace {

// How long a slice of a page's analysis runs before the events waiting
// (Stop, Skip, other sites' pages) have their turn.
constexpr qint64 kSliceMs = 4;

QString trimSpaces(const QString &text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text.at(start) == QLatin1Char(' '))
        ++start;
    while (end > start && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(start, end - start);
}

QString withoutWww(const QString &url)
{
    QString t = url;
    t.remove(QLatin1String("www."), Qt::CaseSensitive);
    return t.toLower();
}

// A Linking Site typed as "https://" + H is compared with the scheme-less page
// URLs of its site as H.
QString withoutSecureScheme(const QString &url)
{
    if (url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return url.mid(8);
    return url;
}

bool isSecureUrl(const QString &url)
{
    return url.trimmed().startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

} // namespace

void SiteScan::intake(QString text)
{
    const PageAnalyser::Warnings warnings = PageAnalyser::warningsOf(text, m_setup.mainSite);
    if (warnings.mentionsMainSite) {
        m_mentionSeen = true;
        m_siteNote = QStringLiteral("Possible Redirected URL");
        m_mentionPage = m_page.strCurUrl;
    }
    if (warnings.sourceProtected)
        m_siteNote = QStringLiteral("Source Protected");
    if (warnings.scriptError)
        m_siteNote = QStringLiteral("Server Script Error");

    // The link notes and the anchor texts read the page as it came: tags
    // whole, attributes in place.
    const SettingsStore &store = SettingsStore::instance();
    m_notesOn = store.readFlag(Keys::chkLinkNotes, true);
    m_anchorTextsOn = store.readFlag(Keys::chkAnchorText, true);
    QString original;
    QByteArray head;
    if (m_notesOn || m_anchorTextsOn)
        original = text;
    if (m_notesOn)
        head = notesSource().head;
    normaliseAnchors(text);
    status(2, QStringLiteral("Saving to HTML"));
    if (interrupted())
        return;
    m_record.lastPage = text;
    m_record.hasLastPage = true;
    m_analyser = std::make_unique<PageAnalyser>(text, !m_emulate, original, head);
    status(2, QStringLiteral("Getting Links"));
    if (interrupted())
        return;
    // A page that sends the browser on within seconds is a redirect page to
    // a search engine too: its target is read in its place.
    if (m_notesOn && !m_emulate) {
        QString refresh = MetaRefresh::target(original);
        if (refresh.isEmpty())
            refresh = MetaRefresh::targetOfHead(m_page.head);
        if (!refresh.isEmpty()) {
            // Relative to the page, on the port it came from.
            const quint16 port = m_page.secure ? m_setup.tlsPort : m_setup.port;
            const bool usual = port == (m_page.secure ? 443 : 80) || m_page.host.contains(QLatin1Char(':'));
            const QUrl base((m_page.secure ? QStringLiteral("https://") : QStringLiteral("http://")) + m_page.host
                            + (usual ? QString() : QLatin1Char(':') + QString::number(port)) + m_page.path);
            followRedirect(base.resolved(QUrl(refresh)).toString(QUrl::FullyEncoded));
            return;
        }
    }
    // Reading goes on while the site has fewer links than expected (counted
    // over all its pages); otherwise only the first line is read.
    m_onlyFirstLine = !(m_linksFound < m_linksExpected);
    analyseSlice();
}

void SiteScan::analyseSlice()
{
    QElapsedTimer clock;
    clock.start();
    while (m_analyser) {
        const PageAnalyser::Item item = m_analyser->next();
        if (item.kind == PageAnalyser::Kind::End || (m_onlyFirstLine && item.line > 0))
            break;
        if (item.kind == PageAnalyser::Kind::Redirect) {
            followRedirect(item.target);
            return;
        }
        const AnchorStep step = examine(item.target, item.hrefAt);
        if (step == AnchorStep::Abandon || interrupted())
            return; // a Skip, a Stop or a time-out: nothing more of the page counts
        if (step == AnchorStep::EndPage || !(m_linksFound < m_linksExpected))
            break;
        if (!m_synchronous && clock.elapsed() >= kSliceMs) {
            const quint64 generation = m_generation;
            QMetaObject::invokeMethod(
                this,
                [this, generation] {
                    later([this, generation] {
                        if (generation != m_generation || m_state != State::Running || !m_analyser)
                            return;
                        Step step(*this);
                        analyseSlice();
                    });
                },
                Qt::QueuedConnection);
            return;
        }
    }
    endOfPage();
}

SiteScan::AnchorStep SiteScan::examine(const QString &rawTarget, qsizetype hrefAt)
{
    QString target = rawTarget;
    if (passesPageTypeFilter(target)) {
        if (target.contains(QLatin1String("file://"), Qt::CaseInsensitive)
            || target.contains(QLatin1String("unsaved:"), Qt::CaseInsensitive) || target.contains(QLatin1Char('#')))
            return AnchorStep::Next;
        resolvePageLink(target, m_page.host, m_page.strCurDir);
        if (!passesRulesNow(target)) {
            // A rule never hides a link: a rejected target is still tested.
            m_siteNote = QStringLiteral("Possible Rule Problem");
            if (!isDirectLink(target))
                return AnchorStep::Next;
        } else if (isNewPageOfSite(target)) {
            ++m_pagesFound;
            ++m_record.pagesFound;
            m_host.siteRecordGrew(*this);
            enqueue(target);
            m_foundPages.insert(target.toCaseFolded());
        }
    } else if (!isDirectLink(target)) {
        return AnchorStep::Next; // only a link to the Main Site counts here, unresolved
    }

    if (isDirectLink(target))
        recordLink(QStringLiteral("Direct Link"), hrefAt);
    else if (isDomainLink(target))
        recordLink(QStringLiteral("Domain Link"), hrefAt);
    return AnchorStep::Next;
}

void SiteScan::followRedirect(QString url)
{
    m_analyser.reset();
    m_redirectOfStartPage = m_analysingStartPage;
    if (url.isEmpty())
        url = m_page.strCurUrl;
    if (m_redirectDownload || !m_channel) {
        const quint64 generation = m_generation;
        const QString page = m_redirectDownload ? m_redirectDownload(url) : QString();
        if (generation == m_generation && m_state == State::Running) {
            m_emulate = true;
            intake(page);
        }
        return;
    }
    // The download takes the page's place, so Stop, Skip and a time-out end
    // it with the site. A target that never ends is left after ten times
    // the time-out, as a page is.
    prefixHttp(url);
    DownloadLimits limits;
    limits.totalTimeoutMs = qMax<qint64>(1000, 10LL * 1000 * m_setup.timeOut);
    const SettingsStore &store = SettingsStore::instance();
    PageRequest base;
    // As the whole-page download of old: "Mozilla" when the scan sends no agent.
    base.userAgent = store.read(Keys::UserAgent, kDefaultUserAgent);
    if (base.userAgent.isEmpty()) {
        base.userAgent = QStringLiteral("Mozilla");
        base.plainRequest = true;
    }
    base.acceptAnyCertificate = store.readFlag(Keys::IgnoreCertificateErrors, false);
    m_downloadId = m_channel->download(url, limits, base);
}

void SiteScan::endOfPage()
{
    m_analyser.reset();
    m_analysingStartPage = false;
    status(2, QString());
    if (interrupted())
        return;
    m_emulate = false;
    if (SettingsStore::instance().readFlag(Keys::chkRedirect, true) && m_mentionSeen && !m_linkFound)
        finishSite(); // the site ends as a Redirect Link
    else
        dispatch();
}

bool SiteScan::passesPageTypeFilter(const QString &target) const
{
    if (!SettingsStore::instance().readFlag(Keys::chkFileTypes, true))
        return true;
    if (target.endsWith(QLatin1Char('/')))
        return true;
    if (!target.contains(QLatin1Char('.')) && target.contains(QLatin1Char('?')))
        return true;
    for (const QString &pattern : m_setup.fileTypes) {
        if (containsNoCase(target, pattern))
            return true;
    }
    return false;
}

bool SiteScan::isDirectLink(const QString &url) const
{
    return containsNoCase(url, m_setup.mainSite);
}

bool SiteScan::isSameSite(const QString &url) const
{
    const QString row = withoutSecureScheme(m_rowUrl);
    return containsNoCase(url, row) || containsNoCase(row, url);
}

bool SiteScan::isDomainLink(QString &url) const
{
    url.remove(QLatin1String("http://"), Qt::CaseInsensitive);
    url.remove(QLatin1String("https://"), Qt::CaseInsensitive);
    const QString host = url.left(url.indexOf(QLatin1Char('/')));
    const QString main = stripSchemes(m_setup.mainSite);
    const QString mainHost = main.left(main.indexOf(QLatin1Char('/')));
    return host == mainHost;
}

// The seen-page test and the same-site test together: whether the target is
// a page of this site not yet queued, named by no Linking Site row of the
// Main Site. The target keeps the form the test gives it (the prefixes of a
// scheme removed): that is what gets queued. Only an answer of the other
// rows that decided the outcome is kept, to check once earlier sites have
// committed.
bool SiteScan::isNewPageOfSite(QString &url)
{
    static const char *const prefixes[] = {"http://www.", "http://", "ttp://www", "ttp://ww", "ttp://w",
                                           "ttp://",      "tp://",   "p://",      "://"};
    for (const char *p : prefixes)
        url.remove(QLatin1String(p), Qt::CaseInsensitive);
    url = trimSpaces(url);

    const QString key = withoutWww(url);
    if (key == withoutWww(withoutSecureScheme(m_rowUrl)) || m_queue.containsNoCase(url)
        || m_foundPages.contains(url.toCaseFolded()))
        return false;
    if (!isSameSite(url))
        return false;
    const bool other = m_host.otherRowHas(m_setup.site.main, m_setup.site.row, key);
    if (!m_exact) {
        const auto asked = m_answers.constFind(key);
        if (asked == m_answers.constEnd())
            m_answers.insert(key, other);
        else if (*asked != other)
            m_answersVaried = true;
    }
    return !other;
}

bool SiteScan::passesRulesNow(const QString &url)
{
    const RuleCheck check = checkRules(url, m_setup.rules, m_setup.mainSiteUrl, m_rowUrl);
    if (!check.passed && SettingsStore::instance().readFlag(Keys::chkLog, false)) {
        m_record.ruleLog.append({url, m_setup.rules.at(check.rejectedBy)});
        m_host.siteRecordGrew(*this);
    }
    return check.passed;
}

// A page URL that replaces a Linking Site URL typed with "https://" keeps that
// scheme, so the next scan still knows the site is secure.
QString SiteScan::siteUrlAfterUpdate(const QString &pageUrl) const
{
    if (isSecureUrl(m_rowUrl) && !pageUrl.contains(QLatin1String("://")))
        return QStringLiteral("https://") + pageUrl;
    return pageUrl;
}

void SiteScan::setRowUrl(const QString &url)
{
    m_rowUrl = url;
    m_record.url = url;
    ++m_record.urlChanges;
}

void SiteScan::setRowColour(RowColour colour)
{
    m_record.colour = colour;
    ++m_record.colourChanges;
}

void SiteScan::recordLink(const QString &status, qsizetype hrefAt)
{
    PageAnalyser::Item anchor;
    anchor.hrefAt = hrefAt;
    QString text;
    if (m_anchorTextsOn && m_analyser)
        text = m_analyser->anchorTextOf(anchor);
    LinkNotes::Flags notes = LinkNotes::None;
    const int index = int(m_record.rows.size());
    if (m_notesOn && m_analyser) {
        const NotesSource source = notesSource();
        const QString pageUrl = (source.secure ? QStringLiteral("https://") : QStringLiteral("http://"))
                              + (m_emulate && m_fromRedirectTarget ? source.host : m_page.host) + source.path;
        notes = robotsFlagsOrPending(m_analyser->notesOf(anchor, pageUrl), index, source);
    }
    ++m_staticLinksOnPage[m_page.strCurUrl];
    appendLink(status, m_page.strCurUrl, m_notesOn ? LinkNotes::text(notes) : QString(), text);
}

void SiteScan::appendLink(const QString &status, const QString &pageUrl, const QString &notes, const QString &anchor)
{
    const SettingsStore &store = SettingsStore::instance();
    ++m_linksFound;
    ++m_linkNumber;

    LinkResult row;
    row.icon = 2;
    row.mainSite = m_setup.mainSite;
    row.remoteSite = hostOf(m_strLinkingSite);
    row.status = status;
    row.number = threeDigits(m_linkNumber);
    row.url = pageUrl;
    row.colour = RowColour::Blue;
    row.anchor = anchor;
    row.notes = notes;
    m_record.rows.append(row);
    setRowColour(RowColour::Blue);
    if (status == QLatin1String("Direct Link") && store.readFlag(Keys::chkUpdate, true))
        setRowUrl(siteUrlAfterUpdate(pageUrl));

    m_linkFound = true;
    if (m_firstLinkStatus.isEmpty())
        m_firstLinkStatus = status;
    ++m_record.linksFound;
    ++m_pagesFound;
    m_host.siteRecordGrew(*this);
    m_host.siteFoundLink(*this);
    this->status(3, QStringLiteral("Found %1 links").arg(m_linksFound));
}

// The closing row of a finished Linking Site: "Missing" when fewer links
// were found than expected, "Redirect Link" when the Main Site was only
// mentioned, "None Found" with the latest warning otherwise.
void SiteScan::recordSiteOutcome()
{
    const SettingsStore &store = SettingsStore::instance();
    const QString note = isBlankEntry(m_siteNote) ? QString() : QStringLiteral(" (") + m_siteNote + QLatin1Char(')');

    LinkResult closing;
    closing.mainSite = m_setup.mainSite;
    closing.remoteSite = hostOf(m_strLinkingSite);
    QString outcome;
    if (m_linkFound) {
        if (m_linksFound < m_linksExpected) {
            closing.icon = 1;
            closing.colour = RowColour::Red;
            closing.status = QStringLiteral("Missing ") + threeDigits(m_linksExpected - m_linksFound);
            closing.number = QStringLiteral("000");
            closing.url = m_page.strCurUrl;
            m_record.rows.append(closing);
            outcome = closing.status;
        } else {
            outcome = m_firstLinkStatus;
        }
    } else if (m_mentionSeen && store.readFlag(Keys::chkRedirect, true)) {
        closing.icon = 2;
        closing.colour = RowColour::Blue;
        closing.status = QStringLiteral("Redirect Link");
        closing.number = QStringLiteral("001");
        closing.url = m_mentionPage;
        m_record.rows.append(closing);
        setRowColour(RowColour::Green);
        ++m_record.linksFound;
        if (store.readFlag(Keys::chkUpdate, true))
            setRowUrl(siteUrlAfterUpdate(m_mentionPage));
        outcome = closing.status;
    } else {
        closing.icon = 1;
        closing.colour = RowColour::Red;
        closing.status = QStringLiteral("None Found") + note;
        closing.number = QStringLiteral("000");
        closing.url = m_strLinkingSite; // the host, after hostOf above
        m_record.rows.append(closing);
        setRowColour(RowColour::Red);
        outcome = closing.status;
        m_record.reason = isBlankEntry(m_siteNote) ? QString() : m_siteNote;
    }
    m_record.outcomeRecorded = true;
    m_record.outcome = outcome;
    m_record.outcomeMainSite = m_setup.mainSite;
    m_record.outcomeHost = closing.remoteSite;
    resetRobotsWait();
}
