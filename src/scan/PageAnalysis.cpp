// Page intake and analysis: warnings in the page text, the cache files, the
// anchors read line by line, link classification, queueing same-site pages
// and following redirect pages.
#include "scan/ScanEngine.h"

#include "model/Project.h"
#include "net/EventPump.h"
#include "net/HttpFetcher.h"
#include "net/WholePageDownload.h"
#include "scan/AnchorText.h"
#include "scan/PageCache.h"
#include "scan/ScanRules.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/Sounds.h"
#include "url/TextMatch.h"
#include "url/TextSearch.h"
#include "url/UrlText.h"

namespace {

const QString kHref = QStringLiteral("href=");

// Leading and trailing spaces only, as the page texts are compared.
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

// The markers hold no line break, so a page without any of them has no
// marker line either: the per-line test is only made on pages that have one.
bool isRedirectMarker(QStringView text)
{
    return TextSearch::containsNoCase(text, u"302 Found")
        || TextSearch::containsNoCase(text, u"301 Moved Permanently")
        || TextSearch::containsNoCase(text, u"<title>Document Moved</title>")
        || TextSearch::containsNoCase(text, u"<title>Object moved</title>");
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

// Characters of the anchor extraction between runs of pending events.
constexpr qsizetype kExtractionPumpStride = 4096;

} // namespace

void ScanEngine::pageIntake(QString text, int slot)
{
    ScanSession &s = m_session;
    m_fetcher->closeSlot(0);
    if (!s.bScanning)
        return;
    const quint64 generation = s.generation;

    if (!s.strMainSite.isEmpty() && TextSearch::containsNoCase(text, s.strMainSite)) {
        s.bMentionSeen = true;
        s.strSiteNote = QStringLiteral("Possible Redirected URL");
        s.strMentionPage = m_fetcher->strCurUrl();
    }
    if (TextSearch::containsNoCase(text, u"You are seeing this text because"))
        s.strSiteNote = QStringLiteral("Source Protected");
    if (TextSearch::containsNoCase(text, u"<?php"))
        s.strSiteNote = QStringLiteral("Server Script Error");

    // The link notes read the page as it came: tags whole, attributes in place.
    PageNotes notes;
    notes.on = SettingsStore::instance().readFlag(Keys::chkLinkNotes, true);
    notes.anchors = SettingsStore::instance().readFlag(Keys::chkAnchorText, true);
    if (notes.on || notes.anchors)
        notes.original = text;
    // A page reached through a redirect page came without a head of its own.
    if (notes.on && !s.bEmulate)
        notes.head = m_fetcher->slotRecord(0).head;
    normaliseAnchors(text);
    setStatus(2, QStringLiteral("Saving to HTML"));
    if (!stillCurrent(generation))
        return;
    if (m_cachePath.isEmpty()) {
        m_cachePath = PageCache::cachePath(m_cacheSlot);
        m_strippedCachePath = PageCache::strippedCachePath(m_cacheSlot);
    }
    PageCache::write(m_cachePath, m_strippedCachePath, text);
    analysePage(text, notes, slot, generation);
}

// After anchor normalisation every "href=" of the page starts a line of its
// own, in page order: the n-th line holding one is the n-th "href=" of the
// page as it came.
void ScanEngine::PageNotes::nextAnchor()
{
    if (!on && !anchors)
        return;
    hrefAt = TextSearch::indexOfNoCase(original, u"href=", searchFrom);
    searchFrom = hrefAt < 0 ? original.size() : hrefAt + 5;
}

// The anchor's own notes and what the page says (read once, for the page's
// first link).
LinkNotes::Flags ScanEngine::PageNotes::flagsOfLink(const QString &pageUrl)
{
    if (!on)
        return LinkNotes::None;
    if (!pageRead) {
        page = PageLinkNotes(original, head, pageUrl);
        pageRead = true;
    }
    return page.flagsOfLink(original, hrefAt);
}

QString ScanEngine::PageNotes::anchorText() const
{
    return anchors ? AnchorText::of(original, hrefAt) : QString();
}

void ScanEngine::analysePage(const QString &text, PageNotes &notes, int slot, quint64 generation)
{
    ScanSession &s = m_session;
    if (!s.bScanning)
        return;
    setStatus(2, QStringLiteral("Getting Links"));
    if (generation != s.generation)
        return;

    // The lines the cache file holds: the text and a final CR LF.
    const QString content = text + QStringLiteral("\r\n");
    CacheLineReader reader(content);
    const bool mayRedirect = !s.bEmulate && isRedirectMarker(content);
    QString line;
    while (s.bScanning && reader.next(line)) {
        EventPump::pump();
        if (generation != s.generation)
            return; // a Skip has started the next site: nothing more counts here
        if (!s.bScanning)
            break;
        if (mayRedirect && !s.bEmulate && isRedirectMarker(line)) {
            followRedirect(line, reader, generation);
            return;
        }
        if (line.contains(kHref)) {
            notes.nextAnchor();
            const AnchorStep step = examineAnchor(line, notes, generation);
            if (step == AnchorStep::Abandon || generation != s.generation)
                return;
            if (step == AnchorStep::EndPage)
                break;
        }
        if (!(s.bScanning && s.iLinksFound < s.iLinksExpected))
            break;
    }
    endOfPage(slot, generation);
}

ScanEngine::AnchorStep ScanEngine::examineAnchor(const QString &line, PageNotes &notes, quint64 generation)
{
    ScanSession &s = m_session;

    // From the first "href=" on, without the quote that opens the value. After
    // anchor normalisation a line holds one "href=", at its start, so that is
    // the only place an opening quote can follow one.
    QString anchor = line.mid(line.indexOf(kHref));
    TextSearch::replaceNoCase(anchor, u"href=\"", kHref);
    TextSearch::replaceNoCase(anchor, u"href='", kHref);

    // Cut at the first quote, apostrophe or ">"; without one (or when it is
    // the last character) the last two characters go.
    const qsizetype length = anchor.size();
    qsizetype terminator = -1;
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = anchor.at(i);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'') || c == QLatin1Char('>')) {
            terminator = i;
            break;
        }
        if (i % kExtractionPumpStride == kExtractionPumpStride - 1) {
            EventPump::pump();
            if (generation != s.generation)
                return AnchorStep::Abandon;
            if (!s.bScanning)
                return AnchorStep::EndPage;
        }
    }
    QString value = (terminator >= 0 && terminator + 1 < length) ? anchor.left(terminator)
                                                                  : anchor.left(qMax<qsizetype>(0, length - 2));
    if (value.size() < 6)
        return AnchorStep::Next;

    value.remove(kHref, Qt::CaseInsensitive);
    value = trimSpaces(value);
    const qsizetype space = value.indexOf(QLatin1Char(' '));
    if (space >= 0)
        value = trimSpaces(value.left(space));
    QString target = value;

    if (target.contains(QLatin1String("javascript"), Qt::CaseInsensitive)
        || target.contains(QLatin1String("mailto"), Qt::CaseInsensitive))
        return AnchorStep::Next;

    if (passesPageTypeFilter(target)) {
        if (target.contains(QLatin1String("file://"), Qt::CaseInsensitive)
            || target.contains(QLatin1String("unsaved:"), Qt::CaseInsensitive)
            || target.contains(QLatin1Char('#')))
            return AnchorStep::Next;
        resolvePageLink(target, m_fetcher->slotRecord(0).host, m_fetcher->strCurDir());
        if (!passesRulesNow(target)) {
            // A rule never hides a link: a rejected target is still tested.
            s.strSiteNote = QStringLiteral("Possible Rule Problem");
            if (!isDirectLink(target))
                return AnchorStep::Next;
        } else {
            const bool seen = isSeenPage(target);
            if (!seen && isSameSite(target)) {
                ++s.lPagesFound;
                bumpStatistic(Counter::PagesFound);
                enqueue(target);
                s.foundPages.insert(target.toCaseFolded());
            }
        }
    } else if (!isDirectLink(target)) {
        return AnchorStep::Next; // only a link to the Main Site counts here, unresolved
    }

    if (isDirectLink(target))
        recordLink(QStringLiteral("Direct Link"), notes);
    else if (isDomainLink(target))
        recordLink(QStringLiteral("Domain Link"), notes);
    return AnchorStep::Next;
}

void ScanEngine::followRedirect(const QString &markerLine, CacheLineReader &reader, quint64 generation)
{
    ScanSession &s = m_session;
    QString line = markerLine;
    QString next;
    while (!line.contains(kHref) && reader.next(next))
        line = next;

    QString url = line;
    if (url.contains(kHref)) {
        for (const QChar stop : {QLatin1Char(' '), QLatin1Char('<'), QLatin1Char('>')}) {
            const qsizetype at = url.indexOf(stop);
            if (at >= 0)
                url.truncate(at);
        }
        url.remove(kHref, Qt::CaseInsensitive);
        url.remove(QStringLiteral(">here</a></body"), Qt::CaseInsensitive);
        url.remove(QLatin1Char('"'));
        url.remove(QLatin1Char('\''));
        url.remove(QLatin1Char(' '));
    }
    if (url.isEmpty())
        url = m_fetcher->strCurUrl();

    if (m_redirectDownload) {
        const QString page = m_redirectDownload(url);
        if (generation == s.generation)
            redirectTargetArrived(page);
        return;
    }
    // The download runs in the fetch slot, so Stop, Skip and a time-out end
    // it with the page. A target that never ends is left after ten times the
    // time-out, as a page is.
    prefixHttp(url);
    m_fetcher->fetchWholePage(0, url, qMax<qint64>(1000, kPageTimeOutFactor * 1000 * s.timeOut));
}

// The page reached through a redirect page is analysed in its place and
// carries the scan on.
void ScanEngine::redirectTargetArrived(const QString &page)
{
    if (!m_session.bScanning)
        return;
    m_session.bEmulate = true;
    pageIntake(page, 0);
}

void ScanEngine::endOfPage(int slot, quint64 generation)
{
    ScanSession &s = m_session;
    setStatus(2, QString());
    if (generation != s.generation)
        return;
    s.bEmulate = false;
    if (!s.bScanning)
        return;
    if (SettingsStore::instance().readFlag(Keys::chkRedirect, true) && s.bMentionSeen && !s.bLinkFound)
        finishSite(); // the site ends as a Redirect Link
    else
        dispatchPage(slot);
}

bool ScanEngine::passesPageTypeFilter(const QString &target) const
{
    if (!SettingsStore::instance().readFlag(Keys::chkFileTypes, true))
        return true;
    if (target.endsWith(QLatin1Char('/')))
        return true;
    if (!target.contains(QLatin1Char('.')) && target.contains(QLatin1Char('?')))
        return true;
    for (const QString &pattern : m_session.fileTypes) {
        if (containsNoCase(target, pattern))
            return true;
    }
    return false;
}

bool ScanEngine::isDirectLink(const QString &url) const
{
    return containsNoCase(url, m_session.strMainSite);
}

bool ScanEngine::isSameSite(const QString &url) const
{
    const QString row = withoutSecureScheme(currentLinkingSiteUrl());
    return containsNoCase(url, row) || containsNoCase(row, url);
}

bool ScanEngine::isDomainLink(QString &url) const
{
    url.remove(QLatin1String("http://"), Qt::CaseInsensitive);
    url.remove(QLatin1String("https://"), Qt::CaseInsensitive);
    const QString host = url.left(url.indexOf(QLatin1Char('/')));
    const QString main = stripSchemes(m_session.strMainSite);
    const QString mainHost = main.left(main.indexOf(QLatin1Char('/')));
    return host == mainHost;
}

bool ScanEngine::isSeenPage(QString &url)
{
    static const char *const prefixes[] = {"http://www.", "http://", "ttp://www", "ttp://ww", "ttp://w",
                                           "ttp://",      "tp://",   "p://",      "://"};
    for (const char *p : prefixes)
        url.remove(QLatin1String(p), Qt::CaseInsensitive);
    url = trimSpaces(url);

    const int main = m_project.currentMainSite();
    if (m_rowKeysDirty || m_rowKeysMain != main) {
        m_rowKeys.clear();
        if (main >= 0 && main < m_project.mainSiteCount()) {
            for (const LinkingSite &row : m_project.linkingSites(main))
                m_rowKeys.insert(withoutWww(withoutSecureScheme(row.url)));
        }
        m_rowKeysMain = main;
        m_rowKeysDirty = false;
    }
    const QString key = withoutWww(url);
    if (m_siteWorker) {
        // The other rows as the sites committed so far left them; the answer
        // is kept so the commit can tell whether it still holds.
        const bool other = m_sharedRowKeys && otherRowHas(*m_sharedRowKeys, m_ownRowKey, key);
        const auto asked = m_seenAnswers.constFind(key);
        if (asked == m_seenAnswers.constEnd())
            m_seenAnswers.insert(key, other);
        else if (*asked != other)
            m_seenAnswersVaried = true;
        if (other || key == rowSeenKey(currentLinkingSiteUrl()))
            return true;
    } else {
        if (m_rowKeys.contains(key))
            return true;
    }
    if (m_session.queue.containsNoCase(url))
        return true;
    return m_session.foundPages.contains(url.toCaseFolded());
}

void ScanEngine::recordLink(const QString &status, PageNotes &notes)
{
    ScanSession &s = m_session;
    SettingsStore &store = SettingsStore::instance();
    ++s.iLinksFound;
    ++s.iLinkNumber;

    LinkResult row;
    row.icon = 2;
    row.mainSite = s.strMainSite;
    row.remoteSite = hostOf(s.strLinkingSite);
    row.status = status;
    row.number = threeDigits(s.iLinkNumber);
    row.url = m_fetcher->strCurUrl();
    row.colour = RowColour::Blue;
    row.anchor = notes.anchorText();
    if (notes.on) {
        const FetchSlot &page = m_fetcher->slotRecord(0);
        const QString scheme = page.secure ? QStringLiteral("https://") : QStringLiteral("http://");
        const QString pageUrl = scheme + page.host + page.path;
        row.notes = LinkNotes::text(robotsFlagsOrPending(notes.flagsOfLink(pageUrl), row));
    }
    m_project.appendResult(row);
    const int main = m_project.currentMainSite();
    m_project.setLinkingSiteColour(main, currentRow(), RowColour::Blue);
    if (status == QLatin1String("Direct Link") && store.readFlag(Keys::chkUpdate, true))
        m_project.setLinkingSiteUrl(main, currentRow(), siteUrlAfterUpdate(m_fetcher->strCurUrl()));

    s.bLinkFound = true;
    if (m_firstLinkStatus.isEmpty())
        m_firstLinkStatus = status;
    if (!m_siteWorker && store.readFlag(Keys::chkAudioEmail, true))
        playSound(Sounds::foundLink);
    bumpStatistic(Counter::LinksFound);
    ++s.lPagesFound;
    setStatus(3, QStringLiteral("Found %1 links").arg(s.iLinksFound));
}

bool ScanEngine::passesRulesNow(const QString &url) const
{
    const int main = m_project.currentMainSite();
    const QString mainUrl = main >= 0 && main < m_project.mainSiteCount() ? m_project.mainSite(main).url : QString();
    const bool log = SettingsStore::instance().readFlag(Keys::chkLog, false);
    if (!m_siteWorker)
        return passesRules(url, m_project.rules(), mainUrl, currentLinkingSiteUrl(), log);
    // Beside other sites, the entries wait to be written in the order of the sites.
    const RuleCheck check = checkRules(url, m_project.rules(), mainUrl, currentLinkingSiteUrl());
    if (!check.passed && log)
        m_pendingRuleLog.append({url, m_project.rules().at(check.rejectedBy)});
    return check.passed;
}

QString ScanEngine::rowSeenKey(const QString &linkingSiteUrl)
{
    return withoutWww(withoutSecureScheme(linkingSiteUrl));
}
