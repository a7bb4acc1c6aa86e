// Pages drawn by a browser: when a Linking Site would close without its
// link and its start page is HTML, the page is rendered by the helper
// program (its scripts run) and the links of the drawn page are looked at
// too; a link found only there has the note "JavaScript". With proof
// pictures on, the page of a site's first link is pictured with the link
// outlined.
#include "scan/SiteScan.h"

#include "net/FetchChannel.h"
#include "net/HttpHeaders.h"
#include "net/PageRenderer.h"
#include "net/RenderTypes.h"
#include "scan/PageAnalyser.h"
#include "settings/ProofPictures.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/TextMatch.h"
#include "url/UrlText.h"

#include <QByteArrayMatcher>
#include <QUrl>

namespace {

// The anchor texts are kept as the static ones are.
constexpr int kAnchorTextMax = 200;

bool looksLikeHtml(const QByteArray &head, const QByteArray &body)
{
    const QByteArray type = HttpHeaders::value(head, "Content-Type").toLower();
    if (!type.isEmpty())
        return type.contains("html");
    return body.left(4096).contains('<');
}

// Without a script a browser draws no link the HTML does not have: such a
// page is not worth the drawing (a script element, or a handler attribute
// such as onload, runs one).
bool hasScript(const QByteArray &body)
{
    static const QByteArrayMatcher script("<script"), scriptUpper("<SCRIPT"), handler("onload=");
    if (script.indexIn(body) >= 0 || scriptUpper.indexIn(body) >= 0 || handler.indexIn(body) >= 0)
        return true;
    // Mixed case is rare; it is looked for only when nothing else matched.
    const QByteArray lower = body.toLower();
    return lower.contains("<script") || lower.contains("onload=");
}

} // namespace

void SiteScan::noteStartPage(int code, const QByteArray &head, const QByteArray &body)
{
    m_startPageScripted = code >= 200 && code <= 299 && looksLikeHtml(head, body) && hasScript(body);
    m_startPageUrl = m_page.strCurUrl;
    m_startPageNotes = notesSource();
}

// The URL a browser loads for a page of the site: on the port the site's
// pages come from.
QString SiteScan::pageUrlForBrowser(const QString &hostAndPath, bool secure) const
{
    QString text = hostAndPath;
    if (text.contains(QLatin1String("://")))
        return text;
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const QString host = slash < 0 ? text : text.left(slash);
    const QString path = slash < 0 ? QStringLiteral("/") : text.mid(slash);
    const quint16 port = secure ? m_setup.tlsPort : m_setup.port;
    const bool usual = port == (secure ? 443 : 80) || host.contains(QLatin1Char(':'));
    return (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + host
         + (usual ? QString() : QLatin1Char(':') + QString::number(port)) + path;
}

// True while the site waits for pages being drawn; asked for the first time,
// it asks for them (a Skip does not wait).
bool SiteScan::awaitRenders()
{
    PageRenderer *renderer = m_host.renderer();
    if (m_rendersAsked) {
        bool pending = false;
        for (const RenderedPage &page : std::as_const(m_renders))
            pending = pending || !page.answered;
        if (pending && (m_skipClicked || m_state != State::Running)) {
            for (const RenderedPage &page : std::as_const(m_renders)) {
                if (!page.answered && renderer)
                    renderer->cancel(page.ticket);
            }
            m_renders.clear();
            return false;
        }
        return pending;
    }
    m_rendersAsked = true;
    if (!renderer || m_skipClicked || m_state != State::Running)
        return false;
    const SettingsStore &store = SettingsStore::instance();
    const QString folder = m_host.proofFolder();
    const bool proof = !folder.isEmpty() && store.readFlag(Keys::ProofShots, kDefaultProofShots);
    const bool redirectLink = m_mentionSeen && store.readFlag(Keys::chkRedirect, true);
    const bool wouldCloseWithout = (!m_linkFound && isBlankEntry(m_siteNote) && !redirectLink)
                                || (m_linkFound && m_linksFound < m_linksExpected);

    QList<RenderedPage> pages;
    bool forLinks = false;
    if (store.readFlag(Keys::RenderJavaScript, kDefaultRenderJavaScript) && wouldCloseWithout && m_startPageScripted) {
        forLinks = true;
        RenderedPage start;
        start.rowUrl = m_startPageUrl;
        start.url = pageUrlForBrowser(m_startPageUrl, m_startPageNotes.secure);
        start.notes = m_startPageNotes;
        pages.append(start);
        QString linkPage = m_setup.row.linkPageUrl.trimmed();
        if (!linkPage.isEmpty() && linkPage != m_startPageUrl) {
            RenderedPage other;
            other.rowUrl = stripSchemes(linkPage);
            other.url = pageUrlForBrowser(linkPage, linkPage.startsWith(QLatin1String("https://"), Qt::CaseInsensitive));
            const QUrl url(other.url);
            other.notes.host = url.host();
            other.notes.secure = url.scheme() == QLatin1String("https");
            other.notes.path = url.path(QUrl::FullyEncoded).isEmpty() ? QStringLiteral("/") : url.path(QUrl::FullyEncoded);
            pages.append(other);
        }
    } else if (proof && m_linkFound) {
        // A picture of the page of the site's first link.
        for (const LinkResult &row : std::as_const(m_record.rows)) {
            if (row.icon == 2) {
                RenderedPage first;
                first.rowUrl = row.url;
                first.url = pageUrlForBrowser(row.url, m_startPageNotes.secure);
                pages.append(first);
                break;
            }
        }
    }
    if (pages.isEmpty())
        return false;

    connect(renderer, &PageRenderer::finished, this, [this](const RenderResult &result) {
        for (const RenderedPage &page : std::as_const(m_renders)) {
            if (page.ticket == result.ticket && !page.answered) {
                later([this, result] { rendered(result); });
                return;
            }
        }
    }, Qt::QueuedConnection);
    for (RenderedPage &page : pages) {
        RenderRequest request = PageRenderer::requestFromSettings(page.url);
        if (proof) {
            QString mainHost = m_setup.mainSite;
            request.proofPath = ProofPictures::filePath(folder, hostOf(mainHost), hostOfCopy(m_setup.row.url));
            request.proofTargets = {m_setup.mainSite};
        }
        page.ticket = renderer->render(request);
    }
    m_renders = pages;
    m_rendersForLinks = forLinks;
    // Nothing more of the site's pages counts while its pages are drawn.
    dropWorkUnderWay();
    status(2, forLinks ? QStringLiteral("Drawing the page as a browser would") : QStringLiteral("Taking a picture of the link"));
    return true;
}

void SiteScan::rendered(const RenderResult &result)
{
    if (m_state != State::Running)
        return;
    Step step(*this);
    int index = -1;
    for (int i = 0; i < m_renders.size(); ++i) {
        if (m_renders.at(i).ticket == result.ticket && !m_renders.at(i).answered)
            index = i;
    }
    if (index < 0)
        return;
    m_renders[index].answered = true;
    if (!result.ok) {
        m_record.errors.append({kRenderFailed, m_renders.at(index).url});
    } else {
        if (m_rendersForLinks)
            takeRenderedAnchors(result, index);
        if (!result.proofPath.isEmpty()) {
            m_record.proofPath = result.proofPath;
            for (LinkResult &row : m_record.rows) {
                if (row.icon == 2)
                    row.proof = result.proofPath;
            }
        }
    }
    m_host.siteRecordGrew(*this);
    for (const RenderedPage &page : std::as_const(m_renders)) {
        if (!page.answered)
            return;
    }
    finishSite();
}

// The links of the drawn page, in its order, through the same tests as the
// anchors of its HTML. As many links to the Main Site as the HTML of the
// page had are the ones already counted.
void SiteScan::takeRenderedAnchors(const RenderResult &result, int index)
{
    const RenderedPage &page = m_renders.at(index);
    int alreadyCounted = m_staticLinksOnPage.value(page.rowUrl);
    for (const RenderedAnchor &anchor : result.anchors) {
        if (!(m_linksFound < m_linksExpected))
            break;
        QString target = anchor.href;
        QString status;
        if (isDirectLink(target))
            status = QStringLiteral("Direct Link");
        else if (isDomainLink(target))
            status = QStringLiteral("Domain Link");
        else
            continue;
        if (alreadyCounted > 0) {
            --alreadyCounted;
            continue;
        }
        const int row = int(m_record.rows.size());
        LinkNotes::Flags flags = LinkNotes::JavaScript;
        if (m_notesOn) {
            flags |= LinkNotes::relFlags(QStringLiteral("<a rel=\"%1\">").arg(anchor.rel));
            if (!anchor.visible)
                flags |= LinkNotes::Hidden;
            flags = robotsFlagsOrPending(flags, row, page.notes);
        }
        const QString text = m_anchorTextsOn ? anchor.text.simplified().left(kAnchorTextMax) : QString();
        appendLink(status, page.rowUrl, LinkNotes::text(flags), text);
    }
}
