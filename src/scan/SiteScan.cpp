// One Linking Site's scan: starting it, feeding the fetch channel one page at
// a time, the events of the page in flight, and finishing the site.
#include "scan/SiteScan.h"

#include "net/FetchChannel.h"
#include "net/HostName.h"
#include "net/HttpHeaders.h"
#include "net/HttpStatus.h"
#include "net/PageRenderer.h"
#include "scan/BotProtection.h"
#include "scan/PageAnalyser.h"
#include "scan/RobotsCache.h"
#include "scan/ResultNumbers.h"
#include "scan/SeenPageLedger.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "url/UrlText.h"

#include <QTimer>

#include <cmath>

// A page still arriving after this many times the time-out ends as a time-out:
// a server that drips a byte before every tick would hold the site for ever.
static constexpr qint64 kPageTimeOutFactor = 10;

// A Linking Site typed as "https://…" is fetched over TLS from its first page on.
static bool typedAsSecure(const QString &rowUrl)
{
    return rowUrl.trimmed().startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

SiteScan::SiteScan(const SiteSetup &setup, SiteScanHost &host, HostScheduler *scheduler, RobotsCache &robots,
                   QObject *parent)
    : QObject(parent)
    , m_setup(setup)
    , m_host(host)
    , m_robots(robots)
    , m_secureHosts(setup.secureHosts)
{
    m_secureHosts.recordAnswers(true);
    m_record.url = setup.row.url;
    m_record.colour = setup.row.colour;
    m_strLinkingSite = setup.row.url;
    m_rowUrl = setup.row.url;
    m_linksExpected = linksExpectedFromText(setup.row.linksExpected);
    m_setup.retryDelay = qBound(0, m_setup.retryDelay, kMaxRetryDelay);
    if (typedAsSecure(m_rowUrl)) {
        const QString host = splitRequestTarget(m_rowUrl).host;
        if (!m_secureHosts.isSecure(host)) {
            m_secureHosts.markSecure(host);
            m_record.secureHosts.append(host);
        }
    }
    if (scheduler)
        setChannel(new FetchChannel(*scheduler, this));
}

PageRequest SiteScan::pageRequest(const SiteSetup &setup, const QString &host, const QString &path, bool secure)
{
    const SettingsStore &store = SettingsStore::instance();
    PageRequest request;
    request.host = host;
    request.path = path;
    request.secure = secure;
    request.port = setup.port;
    request.tlsPort = setup.tlsPort;
    request.userAgent = store.read(Keys::UserAgent, kDefaultUserAgent);
    request.acceptAnyCertificate = store.readFlag(Keys::IgnoreCertificateErrors, false);
    return request;
}

PageRequest SiteScan::firstPageRequest(const SiteSetup &setup)
{
    const RequestTarget first = splitRequestTarget(setup.row.url);
    const bool secure = typedAsSecure(setup.row.url) || setup.secureHosts.isSecure(first.host);
    return pageRequest(setup, first.host, first.path, secure);
}

SiteScan::~SiteScan()
{
    if (m_channel)
        m_channel->cancelAll();
}

// Events of the channel reach the site from the event loop, never inside
// the channel's own handling of its sockets.
void SiteScan::setChannel(FetchChannel *channel)
{
    if (!channel)
        return;
    m_channel = channel;
    connect(channel, &FetchChannel::connected, this, [this](quint64 id) {
        later([this, id] { onConnected(id); });
    }, Qt::QueuedConnection);
    connect(channel, &FetchChannel::dataArrived, this, [this](quint64 id, qint64 received, qint32 length) {
        // Only counters and texts: taken at once, even inside a step.
        onData(id, received, length);
    }, Qt::QueuedConnection);
    connect(channel, &FetchChannel::idleTick, this, [this](quint64 id) { later([this, id] { onIdleTick(id); }); },
            Qt::QueuedConnection);
    connect(channel, &FetchChannel::finished, this, [this](quint64 id, const PageResult &result) {
        later([this, id, result] { onPageFinished(id, result); });
    }, Qt::QueuedConnection);
    connect(channel, &FetchChannel::downloaded, this, [this](quint64 id, const DownloadResult &result) {
        later([this, id, result] { onDownloaded(id, result); });
    }, Qt::QueuedConnection);
}

// An event waits while a step is on the stack; otherwise it runs now.
void SiteScan::later(std::function<void()> event)
{
    if (m_depth > 0) {
        m_deferred.append(std::move(event));
        return;
    }
    event();
}

void SiteScan::scheduleDeferred()
{
    QMetaObject::invokeMethod(this, [this] { runDeferred(); }, Qt::QueuedConnection);
}

void SiteScan::runDeferred()
{
    while (m_depth == 0 && !m_deferred.isEmpty())
        m_deferred.takeFirst()();
}

void SiteScan::status(int panel, const QString &text)
{
    m_host.siteStatus(*this, panel, text);
}

// What came in while the step let the front end run: a Stop, a Skip, or the
// end of the site. A Skip asked for meanwhile ends the site here.
bool SiteScan::interrupted()
{
    if (m_state != State::Running || m_generation != m_stepGeneration || !m_host.siteMayGoOn(*this))
        return true;
    if (m_skipPending) {
        m_skipPending = false;
        doSkip();
        return true;
    }
    return false;
}

void SiteScan::start()
{
    if (m_state != State::Idle)
        return;
    m_state = State::Running;
    if (m_synchronous)
        begin();
    else
        QMetaObject::invokeMethod(this, [this] { later([this] { begin(); }); }, Qt::QueuedConnection);
}

void SiteScan::begin()
{
    if (m_state != State::Running || m_begun)
        return;
    m_begun = true;
    Step step(*this);
    enqueue(m_strLinkingSite);
    if (interrupted())
        return;
    dispatch();
}

void SiteScan::skip()
{
    if (m_state == State::Idle)
        m_state = State::Running; // skipped before it began: it ends at once
    if (m_state != State::Running)
        return;
    if (m_depth > 0) {
        m_skipPending = true;
        return;
    }
    Step step(*this);
    doSkip();
}

void SiteScan::doSkip()
{
    m_record.skipped = true;
    m_record.checked = false;
    m_skipClicked = true;
    m_siteNote = QStringLiteral("Skipped");
    finishSite();
}

void SiteScan::stop()
{
    if (m_state == State::Finished || m_state == State::Stopped)
        return;
    m_state = State::Stopped;
    if (PageRenderer *renderer = m_host.renderer()) {
        for (const RenderedPage &page : std::as_const(m_renders)) {
            if (!page.answered)
                renderer->cancel(page.ticket);
        }
    }
    ++m_generation;
    m_analyser.reset();
    resetRobotsWait();
    if (m_channel)
        m_channel->cancelAll();
}

void SiteScan::enqueue(const QString &url)
{
    m_queue.append(url);
    m_host.siteQueueChanged(*this, SiteScanHost::QueueChange::Appended, url);
}

void SiteScan::dispatch()
{
    const SettingsStore &store = SettingsStore::instance();
    ++m_pagesStarted;
    if ((store.readFlag(Keys::chkAuto, true) && m_pagesStarted > m_host.pageLimit()) || m_queue.isEmpty()) {
        m_pagesStarted = 0;
        finishSite();
        return;
    }
    if (store.readFlag(Keys::chkAuto2, true) && m_linksFound >= m_linksExpected) {
        m_pagesStarted = 0;
        finishSite();
        return;
    }
    status(1, QStringLiteral("Main Site %1 of %2").arg(m_setup.site.main + 1).arg(m_setup.mainSiteCount));
    if (interrupted())
        return;
    status(2, QStringLiteral("Page %1 of %2").arg(m_pagesStarted).arg(m_pagesFound + 1));
    if (interrupted() || m_queue.isEmpty())
        return;
    const QString url = m_queue.popFront();
    m_host.siteQueueChanged(*this, SiteScanHost::QueueChange::Popped, url);
    status(3, QStringLiteral("Searching ") + m_strLinkingSite);
    if (interrupted())
        return;
    fetchEntry(url);
    if (interrupted())
        return;
    // Beside other sites the host's robots.txt is read with the first page
    // when link notes will ask for it: a link found there need not wait.
    if (m_onStartPage && m_setup.fetchAhead && m_channel
        && SettingsStore::instance().readFlag(Keys::chkLinkNotes, true)
        && !pageRequest(m_setup, m_page.requestHost, m_page.path, m_page.secure).isPlain())
        m_robots.request(m_page.requestHost, m_page.secure);
    // Beside other sites the next page is asked for while this one comes,
    // unless a robots.txt under way already holds the host's side connection.
    if (m_setup.fetchAhead && m_channel && !m_queue.isEmpty() && !robotsUnderWay()) {
        const RequestTarget next = splitRequestTarget(m_queue.front());
        m_channel->fetchAhead(pageRequest(m_setup, next.host, next.path, m_secureHosts.isSecure(next.host)));
    }
}

void SiteScan::fetchEntry(const QString &entry)
{
    m_fromRedirectTarget = false;
    m_onStartPage = !m_startPageDone;
    m_startPageDone = true;
    const RequestTarget t = splitRequestTarget(entry);
    m_page = PageContext();
    m_page.strURL = t.strURL;
    m_page.strCurUrl = t.strCurUrl;
    m_page.strCurDir = t.strCurDir;
    m_page.host = t.host;
    m_page.path = t.path;
    m_page.requestHost = t.host;
    m_page.secure = m_secureHosts.isSecure(t.host);
    status(1, QStringLiteral("Downloading: ") + m_page.host + m_page.path);
    if (interrupted())
        return;
    startFetch();
}

void SiteScan::startFetch()
{
    const PageRequest request = pageRequest(m_setup, m_page.requestHost, m_page.path, m_page.secure);
    // Without a channel the page's answer is handed in by takePageText().
    m_fetchId = m_channel ? m_channel->fetch(request) : ++m_offlineFetches;
}

void SiteScan::onConnected(quint64 id)
{
    if (id != m_fetchId || m_state != State::Running)
        return;
    Step step(*this);
    m_resting = false;
    // A page fetched again (over TLS, or after a wait) was counted the first time.
    if (!m_page.upgraded && !m_page.again) {
        ++m_record.pagesScanned;
        m_host.siteRecordGrew(*this);
    }
    m_host.siteProgress(*this, 0);
}

void SiteScan::onData(quint64 id, qint64 received, qint32 contentLength)
{
    if (id != m_fetchId || m_state != State::Running)
        return;
    status(1, QStringLiteral("Downloading: ") + m_page.host + m_page.path + QStringLiteral(" (")
                  + QString::number(received) + QLatin1Char(')'));
    if (contentLength >= 1) {
        const float share = std::fabs(float(received) / float(contentLength) * 100.0f);
        if (share <= 100.0f)
            m_host.siteProgress(*this, int(share));
    }
}

// The idle time-out: a page whose server has sent nothing for TimeOut
// seconds ends the site, and so does one still arriving after ten times that.
void SiteScan::onIdleTick(quint64 id)
{
    if (id != m_fetchId || m_state != State::Running || m_awaitingRobots)
        return;
    Step step(*this);
    status(4, QStringLiteral("%1 of %2 seconds").arg(m_channel->addIdleSecond()).arg(m_setup.timeOut));
    if (interrupted() || id != m_fetchId)
        return;
    // Read after the status was shown: data that arrived meanwhile restarted the count.
    const int idle = m_channel->idleSeconds();
    const qint64 pageSeconds = m_channel->pageSeconds();
    if (idle >= m_setup.timeOut || pageSeconds >= kPageTimeOutFactor * m_setup.timeOut) {
        m_fetchId = 0;
        if (m_channel)
            m_channel->cancel();
        notReached(QStringLiteral("Timeout"), true);
    }
}

// A page error: the site's note, an errors row, and the page counts twice.
void SiteScan::pageError(const QString &text, const QString &url)
{
    m_siteNote = text;
    m_record.errors.append({text, url});
    ++m_record.pagesScanned;
    m_host.siteRecordGrew(*this);
}

void SiteScan::onPageFinished(quint64 id, const PageResult &result)
{
    if (id != m_fetchId || m_state != State::Running)
        return;
    Step step(*this);
    m_resting = false;
    switch (result.failure) {
    case PageResult::Failure::Secure:
        m_fetchId = 0;
        m_onStartPage = false; // not read: the site cannot be judged by this run
        pageError(result.failureText, m_page.host + m_page.path);
        if (!interrupted())
            dispatch();
        return;
    case PageResult::Failure::BadName:
    case PageResult::Failure::HostNotFound:
        m_fetchId = 0;
        notReached(QStringLiteral("Host not found"), false);
        return;
    case PageResult::Failure::Refused:
        m_fetchId = 0;
        notReached(QStringLiteral("Connection refused"), true);
        return;
    case PageResult::Failure::NoReply:
        m_fetchId = 0;
        notReached(QStringLiteral("No reply"), true);
        return;
    case PageResult::Failure::Proxy:
        m_fetchId = 0;
        notReached(result.failureText, true);
        return;
    case PageResult::Failure::Unreachable:
        return; // no answer is no event: the idle time-out ends the page
    case PageResult::Failure::None:
        break;
    }
    m_fetchId = 0;
    if (fetchAgainSecurely(result.head))
        return;
    const int code = HttpHeaders::statusCode(result.head);
    if (m_onStartPage && sentBackToPlainHttp(code, result.head)) {
        failStartPage(QStringLiteral("Redirect loop"));
        return;
    }
    if (code == 403 || code == 429 || code == 503) {
        // A challenge page of a bot-protection service is no answer of the
        // partner's; a request to slow down is honoured, for a while.
        if (!BotProtection::serviceOf(code, result.head, QString::fromLatin1(result.body.left(64 * 1024))).isEmpty()) {
            if (m_onStartPage) {
                failStartPage(QStringLiteral("Blocked by bot protection"));
                return;
            }
        } else if (waitAsAsked(code, result.head)) {
            return;
        } else if (m_onStartPage && (code == 429 || HttpHeaders::has(result.head, "Retry-After"))) {
            failStartPage(QStringLiteral("Rate limited"));
            return;
        }
    }
    if (m_onStartPage && code >= 500 && tryStartPageAgainLater())
        return;
    m_waitsAsked = 0;
    const bool startPage = m_onStartPage;
    if (m_onStartPage) {
        // A start page that answered with a server error or a refusal to
        // show it was not read either.
        m_onStartPage = false;
        m_record.checked = !(code >= 500 || code == 401 || code == 403 || code == 429);
        m_analysingStartPage = true;
    }
    m_page.head = result.head;
    if (startPage)
        noteStartPage(code, result.head, result.body);
    const QString url = m_page.host + m_page.path;
    const QString error = HttpStatus::errorForHead(QString::fromLatin1(result.head));
    if (!error.isEmpty())
        pageError(error, url);
    status(1, QStringLiteral("Finished: ") + url);
    if (interrupted())
        return;
    intake(result.pageText());
}

// A page that was not seen: a refused connection, a name that does not
// resolve, a server that closed without a reply, silence. The site ends
// with the reason, as a time-out always ended it; a start page is first
// tried once more when that may help.
void SiteScan::notReached(const QString &reason, bool mayTryAgain)
{
    if (m_onStartPage && mayTryAgain && tryStartPageAgainLater())
        return;
    m_onStartPage = false;
    m_record.errors.append({reason, m_page.host});
    m_siteNote = reason;
    m_host.siteRecordGrew(*this);
    finishSite();
}

// The start page answered, but with nothing the site can be judged by.
void SiteScan::failStartPage(const QString &reason)
{
    m_onStartPage = false;
    m_record.checked = false;
    m_record.errors.append({reason, m_page.host});
    m_siteNote = reason;
    m_host.siteRecordGrew(*this);
    finishSite();
}

// One more try of a start page after RetryDelay seconds: a server that was
// restarting or busy a moment ago is not a partner that dropped the link.
bool SiteScan::tryStartPageAgainLater()
{
    if (m_startTriedAgain || m_setup.retryDelay <= 0)
        return false;
    m_startTriedAgain = true;
    status(2, QStringLiteral("Trying %1 again in %2 seconds").arg(m_page.host).arg(m_setup.retryDelay));
    const quint64 generation = m_generation;
    m_resting = true;
    m_host.siteResting(*this);
    QTimer::singleShot(1000 * m_setup.retryDelay, this, [this, generation] {
        later([this, generation] {
            if (generation != m_generation || m_state != State::Running)
                return;
            Step step(*this);
            m_resting = false;
            m_page.again = true;
            startFetch();
        });
    });
    return true;
}

// 429 Too Many Requests, or 503 with a Retry-After: the host is left alone
// for the time it asks (at most a minute; 1, 2 and 4 seconds when it does
// not say), then the page is asked for again, up to three times.
bool SiteScan::waitAsAsked(int code, const QByteArray &head)
{
    if (code != 429 && code != 503)
        return false;
    qint64 waitMs = HttpHeaders::retryAfterMs(head);
    if (code == 503 && waitMs < 0)
        return false; // a server error, not a request to wait
    if (waitMs < 0)
        waitMs = 1000LL << m_waitsAsked;
    if (waitMs > 60000 || m_waitsAsked >= 3)
        return false;
    ++m_waitsAsked;
    if (m_channel)
        m_channel->holdHost(m_page.requestHost, int(waitMs));
    status(2, QStringLiteral("%1 asks to wait %2 seconds").arg(m_page.host).arg((waitMs + 999) / 1000));
    m_page.again = true;
    // The fetch waits its host's turn; until it is connected the site rests.
    m_resting = true;
    m_host.siteResting(*this);
    startFetch();
    return true;
}

// A start page moved to https whose secure answer sends it back to plain
// HTTP on the same host: the two would send each other round for ever.
bool SiteScan::sentBackToPlainHttp(int code, const QByteArray &head) const
{
    if (!m_page.upgraded || !(code == 301 || code == 302 || code == 303 || code == 307 || code == 308))
        return false;
    const QByteArray location = HttpHeaders::value(head, "Location");
    if (!location.toLower().startsWith("http://"))
        return false;
    const QByteArray rest = location.mid(7);
    QString host = QString::fromLatin1(rest.left(rest.indexOf('/'))).toLower();
    if (host.endsWith(QLatin1String(":80")))
        host.chop(3);
    const QString asked = m_page.host.toLower();
    return host == asked || host == wwwTwin(asked).toLower();
}

// A plain answer that sends the page to the https URL of its host (or the
// host's "www." twin) makes the host the redirect names known to be secure,
// and the page is fetched again over TLS as the page itself. Its URL stays
// as the entry gave it unless the redirect names another path.
bool SiteScan::fetchAgainSecurely(const QByteArray &head)
{
    SecureRedirect target;
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (m_page.secure || end < 0 || !secureRedirect(head.left(end), m_page.requestHost, &target))
        return false;
    if (!m_secureHosts.isSecure(target.host)) {
        m_secureHosts.markSecure(target.host);
        m_record.secureHosts.append(target.host);
    }
    if (target.path != m_page.path) {
        const RequestTarget t = splitRequestTarget(m_page.host + target.path);
        m_page.strURL = t.strURL;
        m_page.strCurUrl = t.strCurUrl;
        m_page.strCurDir = t.strCurDir;
    }
    m_page.path = target.path;
    m_page.requestHost = target.host;
    m_page.secure = true;
    m_page.upgraded = true;
    status(1, QStringLiteral("Downloading: ") + m_page.host + m_page.path);
    if (!interrupted())
        startFetch();
    return true;
}

void SiteScan::onDownloaded(quint64 id, const DownloadResult &result)
{
    if (id != m_downloadId || m_state != State::Running)
        return;
    Step step(*this);
    m_downloadId = 0;
    if (result.looped && m_redirectOfStartPage) {
        failStartPage(QStringLiteral("Redirect loop"));
        return;
    }
    // The page's link notes are those of the target: its host's robots.txt,
    // its own robots lines.
    if (result.url.isValid() && !result.url.host().isEmpty()) {
        m_fromRedirectTarget = true;
        m_target.host = result.url.host();
        m_target.secure = result.url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
        m_target.path = result.url.path(QUrl::FullyEncoded);
        if (m_target.path.isEmpty())
            m_target.path = QStringLiteral("/");
        if (result.url.hasQuery())
            m_target.path += QLatin1Char('?') + result.url.query(QUrl::FullyEncoded);
        m_target.head = result.head;
    }
    const QString body = result.body;
    // The page reached through a redirect page is analysed in its place and
    // carries the site on.
    m_emulate = true;
    intake(body);
}

void SiteScan::dropWorkUnderWay()
{
    ++m_generation;
    m_analyser.reset();
    m_fetchId = 0;
    m_downloadId = 0;
    if (m_channel)
        m_channel->cancelAll();
}

void SiteScan::finishSite()
{
    // A site whose HTML has no link may have it on the page a browser draws.
    if (awaitRenders())
        return;
    // A site with link rows ends once its robots.txt notes are in them.
    if (awaitRobots())
        return;
    // Whatever of the site is still under way must not count any more.
    dropWorkUnderWay();
    recordSiteOutcome();
    m_state = State::Finished;
    m_resting = false;
    m_record.finished = true;
    m_host.siteQueueChanged(*this, SiteScanHost::QueueChange::Cleared, QString());
    m_host.siteRecordGrew(*this);
    m_host.siteFinished(*this);
}

SiteScan::NotesSource SiteScan::notesSource() const
{
    if (m_emulate && m_fromRedirectTarget)
        return m_target;
    NotesSource source;
    source.host = m_page.requestHost;
    source.secure = m_page.secure;
    source.path = m_page.path;
    // A page reached through a redirect page without a target to name
    // came without a head of its own.
    if (!m_emulate)
        source.head = m_page.head;
    return source;
}

bool SiteScan::stillExact(SeenPageLedger &ledger, const SecureHosts &committed) const
{
    if (m_exact)
        return true;
    if (m_answersVaried || !m_secureHosts.answersHoldIn(committed))
        return false;
    const int main = m_setup.site.main;
    if (ledger.version(main) == m_setup.ledgerVersion)
        return true;
    for (auto it = m_answers.cbegin(); it != m_answers.cend(); ++it) {
        if (ledger.otherRowHas(main, m_setup.site.row, it.key()) != it.value())
            return false;
    }
    return true;
}

void SiteScan::takePageText(const QString &text)
{
    if (m_state != State::Running || m_awaitingRobots)
        return;
    Step step(*this);
    m_fetchId = 0;
    if (m_channel)
        m_channel->cancel();
    intake(text);
}
