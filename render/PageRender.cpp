#include "PageRender.h"

#include "HeadlessPage.h"
#include "PageScripts.h"
#include "ProofPicture.h"
#include "ProofTargets.h"
#include "RendererProcess.h"
#include "RequestCounter.h"

#include "net/ProcessTree.h"
#include "net/RenderProtocol.h"

#include <QPointer>
#include <QVariant>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

const QSize kViewport(1280, 900);
// Settled: loaded, and no request started or finished and no document change
// for this long with no request outstanding...
constexpr int kQuietMs = 500;
// ...or for this long with some outstanding (a request that failed is never
// counted as finished; a long poll never finishes).
constexpr int kQuietOutstandingMs = 2500;
constexpr int kSettleTickMs = 200;
constexpr int kMemoryTickMs = 250;
// After the time-out: collecting the anchors, and taking the picture.
constexpr int kCollectLimitMs = 3000;
constexpr int kProofLimitMs = 3000;
// Time for the page to paint after scrolling the link into view.
constexpr int kScrollPauseMs = 300;
// net::ERR_ABORTED: a navigation replaced by another one, or turned into a download.
constexpr int kAbortedLoad = -3;

} // namespace

PageRender::PageRender(quint64 id, const RenderRequest &request, qint64 memoryLimitBytes, QObject *parent)
    : QObject(parent), m_id(id), m_request(request), m_memoryLimit(memoryLimitBytes)
{
    m_result.requestedUrl = request.url;
    m_deadline.setSingleShot(true);
    m_stageLimit.setSingleShot(true);
    m_scrollPause.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &PageRender::collect);
    connect(&m_settleTick, &QTimer::timeout, this, &PageRender::probe);
    connect(&m_memoryTick, &QTimer::timeout, this, &PageRender::checkMemory);
    connect(&m_scrollPause, &QTimer::timeout, this, [this] {
        run(PageScripts::viewportBoxes(m_proofIndexes), Stage::Proving, &PageRender::measured);
    });
    connect(&m_stageLimit, &QTimer::timeout, this, [this] {
        if (m_stage == Stage::Collecting) {
            fail(QStringLiteral("the page's scripts were still running after %1 seconds").arg(m_request.timeoutMs / 1000.0));
        } else if (m_stage == Stage::Proving) {
            m_result.proofProblem = QStringLiteral("the page stopped answering before its picture was taken");
            answer();
        }
    });
}

PageRender::~PageRender()
{
    m_stage = Stage::Done;
    const qint64 renderer = m_page ? m_page->renderProcessPid() : 0;
    delete m_page; // before its view and its profile
    delete m_view;
    delete m_profile;
    // A page closes its renderer in its own time, and a renderer caught in an
    // endless script not at all.
    RendererProcess::kill(renderer);
}

void PageRender::start()
{
    m_clock.start();
    m_stage = Stage::Loading;

    // A profile without a storage name is off the record: cookies, storage and
    // cache live in memory and go with it. One per page, so no page sees what
    // another left, and every page has a renderer process of its own.
    m_profile = new QWebEngineProfile();
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setSpellCheckEnabled(false);
    if (!m_request.userAgent.isEmpty())
        m_profile->setHttpUserAgent(m_request.userAgent);
    connect(m_profile, &QWebEngineProfile::downloadRequested, this, [this](QWebEngineDownloadRequest *download) {
        download->cancel();
        if (m_stage == Stage::Loading && !m_documentSeen)
            fail(QStringLiteral("the page is a file to download, not a document"));
    });
    m_counter = new RequestCounter(m_profile);
    m_profile->setUrlRequestInterceptor(m_counter);

    m_page = new HeadlessPage(m_profile, m_request.ignoreCertificateErrors);
    m_page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, m_request.javaScript);
    QWebEngineScript watcher;
    watcher.setName(QStringLiteral("reciplex-watcher"));
    watcher.setSourceCode(PageScripts::watcher());
    watcher.setInjectionPoint(QWebEngineScript::DocumentCreation);
    watcher.setWorldId(QWebEngineScript::ApplicationWorld);
    watcher.setRunsOnSubFrames(false);
    m_page->scripts().insert(watcher);
    connect(m_page, &QWebEnginePage::loadingChanged, this, &PageRender::loadingChanged);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status, int code) { rendererEnded(status, code); });

    // The page is shown, off screen, at a desktop browser's size: scripts that
    // wait for a visible page or for an element to scroll into view run as
    // they would for a visitor.
    m_view = new QWebEngineView();
    m_view->setAttribute(Qt::WA_DontShowOnScreen);
    m_view->setPage(m_page);
    m_view->resize(kViewport);
    m_view->show();

    m_deadline.start(m_request.timeoutMs);
    m_memoryTick.start(kMemoryTickMs);
    m_settleTick.start(kSettleTickMs);
    m_page->load(QUrl(m_request.url));
}

void PageRender::cancel()
{
    fail(QStringLiteral("cancelled"));
}

void PageRender::loadingChanged(const QWebEngineLoadingInfo &info)
{
    if (m_stage != Stage::Loading)
        return;
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        m_navigating = true;
        break;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
            fail(QStringLiteral("the server answered HTTP %1").arg(info.errorCode()));
            return;
        }
        if (info.errorCode() != kAbortedLoad) {
            fail(QStringLiteral("the page could not be loaded: %1").arg(info.errorString()));
            return;
        }
        m_navigating = false; // a navigation given up: the document before it stays
        break;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        m_navigating = false;
        break;
    }
    m_lastCounts.clear(); // counts as a change
}

void PageRender::run(const QString &script, Stage stage, void (PageRender::*callback)(const QVariant &))
{
    const QPointer<PageRender> self(this);
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld, [self, stage, callback](const QVariant &value) {
        if (self && self->m_stage == stage)
            (self.data()->*callback)(value);
    });
}

void PageRender::probe()
{
    if (m_probing)
        return; // the page has not answered the last one yet
    m_probing = true;
    run(PageScripts::settleProbe(), Stage::Loading, &PageRender::probed);
}

void PageRender::probed(const QVariant &value)
{
    m_probing = false;
    const QVariantList probe = value.toList();
    // Before the document has been created the probe runs in the empty page
    // every load starts from, which has no watcher.
    if (probe.size() < 4 || !probe.at(3).toBool())
        return;
    m_documentSeen = true;
    const int started = m_counter->started();
    const int finished = probe.at(0).toInt() + 1; // the document itself has no resource entry
    const QList<int> counts{started, finished, probe.at(1).toInt()};
    const qint64 now = m_clock.elapsed();
    if (counts != m_lastCounts) {
        m_lastCounts = counts;
        m_lastChangeAt = now;
        return;
    }
    const qint64 quiet = now - m_lastChangeAt;
    const bool nothingOutstanding = finished >= started;
    if (!m_navigating && probe.at(2).toString() == QLatin1String("complete")
        && (quiet >= kQuietOutstandingMs || (nothingOutstanding && quiet >= kQuietMs))) {
        m_result.settled = true;
        collect();
    }
}

void PageRender::collect()
{
    if (m_stage != Stage::Loading)
        return;
    m_stage = Stage::Collecting;
    m_settleTick.stop();
    m_deadline.stop();
    m_stageLimit.start(kCollectLimitMs);
    run(PageScripts::collectAnchors(RenderProtocol::kMaxAnchors, RenderProtocol::kMaxTextLength,
                                    RenderProtocol::kMaxHrefLength),
        Stage::Collecting, &PageRender::collected);
}

void PageRender::collected(const QVariant &value)
{
    const QVariantMap page = value.toMap();
    if (page.isEmpty()) {
        // The document never replaced the empty one a page starts with.
        fail(QStringLiteral("the page did not load within %1 seconds").arg(m_request.timeoutMs / 1000.0));
        return;
    }
    m_result.url = page.value(QStringLiteral("url")).toString();
    m_result.title = page.value(QStringLiteral("title")).toString();
    m_result.anchorsInDocument = page.value(QStringLiteral("total")).toInt();
    const QVariantList anchors = page.value(QStringLiteral("anchors")).toList();
    m_result.anchors.reserve(anchors.size());
    for (const QVariant &item : anchors) {
        const QVariantList f = item.toList();
        if (f.size() < 9)
            continue;
        RenderedAnchor a;
        a.tag = f.at(0).toString();
        a.href = f.at(1).toString();
        a.text = f.at(2).toString();
        a.rel = f.at(3).toString();
        a.box = QRectF(f.at(4).toDouble(), f.at(5).toDouble(), f.at(6).toDouble(), f.at(7).toDouble());
        a.visible = f.at(8).toBool();
        m_result.anchors.append(a);
    }
    m_result.ok = true;
    if (m_request.proofPath.isEmpty())
        answer();
    else
        prove();
}

void PageRender::prove()
{
    m_stage = Stage::Proving;
    m_stageLimit.start(kProofLimitMs);
    bool hidden = false;
    for (int i = 0; i < m_result.anchors.size(); ++i) {
        if (!ProofTargets::matches(m_result.anchors.at(i).href, m_request.proofTargets))
            continue;
        if (m_result.anchors.at(i).visible)
            m_proofIndexes << i;
        else
            hidden = true;
    }
    if (m_proofIndexes.isEmpty()) {
        m_result.proofProblem = hidden ? QStringLiteral("the link is on the page but hidden")
                                       : QStringLiteral("no link to %1 on the rendered page")
                                             .arg(m_request.proofTargets.join(QLatin1String(", ")));
        answer();
        return;
    }
    run(PageScripts::scrollToAnchor(m_proofIndexes.first()), Stage::Proving, &PageRender::scrolled);
}

void PageRender::scrolled(const QVariant &value)
{
    if (!value.toBool()) {
        m_result.proofProblem = QStringLiteral("the page changed before its picture was taken");
        answer();
        return;
    }
    m_scrollPause.start(kScrollPauseMs);
}

void PageRender::measured(const QVariant &value)
{
    const QVariantMap viewport = value.toMap();
    const QImage shot = m_view->grab().toImage();
    const double cssWidth = viewport.value(QStringLiteral("width")).toDouble();
    if (viewport.isEmpty() || shot.isNull() || cssWidth <= 0) {
        m_result.proofProblem = QStringLiteral("the page changed before its picture was taken");
        answer();
        return;
    }
    const double scale = shot.width() / cssWidth;
    const QRectF visibleArea(QPointF(0, 0), QSizeF(shot.size()));
    QList<QRectF> boxes;
    for (const QVariant &b : viewport.value(QStringLiteral("boxes")).toList()) {
        const QVariantList f = b.toList();
        if (f.size() < 4)
            continue;
        const QRectF box(f.at(0).toDouble() * scale, f.at(1).toDouble() * scale, f.at(2).toDouble() * scale,
                         f.at(3).toDouble() * scale);
        if (box.intersects(visibleArea))
            boxes << box;
    }
    if (boxes.isEmpty()) {
        m_result.proofProblem = QStringLiteral("the link could not be brought into view");
        answer();
        return;
    }
    const QImage picture = ProofPicture::compose(shot, boxes, m_result.url, QDateTime::currentDateTimeUtc());
    QString problem;
    if (ProofPicture::save(picture, m_request.proofPath, &problem)) {
        m_result.proofPath = m_request.proofPath;
        m_result.proofOutlined = int(boxes.size());
    } else {
        m_result.proofProblem = problem;
    }
    answer();
}

void PageRender::checkMemory()
{
    const qint64 pid = m_page ? m_page->renderProcessPid() : 0;
    if (pid <= 0 || ProcessTree::residentBytes(pid) <= m_memoryLimit)
        return;
    m_killedForMemory = true;
    RendererProcess::kill(pid);
    fail(QStringLiteral("the page used more than %1 MiB of memory").arg(m_memoryLimit >> 20));
}

void PageRender::rendererEnded(int status, int exitCode)
{
    if (m_stage == Stage::Done || m_stage == Stage::Idle)
        return;
    switch (status) {
    case QWebEnginePage::CrashedTerminationStatus:
        fail(QStringLiteral("the page's renderer crashed"));
        break;
    case QWebEnginePage::KilledTerminationStatus:
        fail(m_killedForMemory ? QStringLiteral("the page used more than %1 MiB of memory").arg(m_memoryLimit >> 20)
                               : QStringLiteral("the page's renderer was killed"));
        break;
    case QWebEnginePage::AbnormalTerminationStatus:
        fail(QStringLiteral("the page's renderer crashed (exit code %1)").arg(exitCode));
        break;
    default:
        fail(QStringLiteral("the page's renderer ended"));
        break;
    }
}

void PageRender::fail(const QString &reason)
{
    if (m_stage == Stage::Done)
        return;
    if (m_stage == Stage::Proving) {
        // The anchors are in hand; only the picture is lost.
        m_result.proofProblem = reason;
        answer();
        return;
    }
    m_result.ok = false;
    m_result.reason = reason;
    m_result.anchors.clear();
    answer();
}

void PageRender::answer()
{
    if (m_stage == Stage::Done)
        return;
    m_stage = Stage::Done;
    m_deadline.stop();
    m_stageLimit.stop();
    m_settleTick.stop();
    m_memoryTick.stop();
    m_scrollPause.stop();
    m_result.elapsedMs = m_clock.isValid() ? m_clock.elapsed() : 0;
    emit finished(m_id, m_result);
}
