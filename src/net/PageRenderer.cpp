#include "net/PageRenderer.h"

#include "net/RenderProtocol.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifndef RECIPLEX_INSTALL_BINDIR
#define RECIPLEX_INSTALL_BINDIR "/usr/bin"
#endif

namespace {
constexpr int kDeadlineTickMs = 250;
// A helper that dies before it can answer anything this often in a row is
// not started again for the requests already waiting.
constexpr int kStartsTried = 2;
} // namespace

PageRenderer::PageRenderer(QObject *parent) : QObject(parent), m_program(findHelperProgram())
{
    m_clock.start();
    m_idle.setSingleShot(true);
    connect(&m_deadlineTick, &QTimer::timeout, this, &PageRenderer::checkDeadlines);
    connect(&m_idle, &QTimer::timeout, this, [this] {
        if (m_helper && m_waiting.isEmpty() && m_underWay.isEmpty())
            m_helper->stop();
    });
}

PageRenderer::~PageRenderer()
{
    delete m_helper;
}

QString PageRenderer::findHelperProgram()
{
    for (const QString &folder : {QCoreApplication::applicationDirPath(), QStringLiteral(RECIPLEX_INSTALL_BINDIR)}) {
        const QFileInfo program(folder + QStringLiteral("/reciplex-render"));
        if (!folder.isEmpty() && program.isFile() && program.isExecutable())
            return program.absoluteFilePath();
    }
    return QString();
}

RenderRequest PageRenderer::requestFromSettings(const QString &url)
{
    const SettingsStore &store = SettingsStore::instance();
    RenderRequest r;
    r.url = url;
    r.timeoutMs = store.readInt(Keys::RenderTimeout, kDefaultRenderTimeout, 1, kMaxRenderTimeout) * 1000;
    r.ignoreCertificateErrors = store.readFlag(Keys::IgnoreCertificateErrors, false);
    const QString agent = store.read(Keys::UserAgent, kDefaultUserAgent);
    if (agent != kDefaultUserAgent)
        r.userAgent = agent;
    return r;
}

quint64 PageRenderer::render(const RenderRequest &request)
{
    Job job;
    job.ticket = m_nextTicket++;
    job.request = request;
    job.request.timeoutMs = qBound(RenderProtocol::kMinTimeoutMs, request.timeoutMs, RenderProtocol::kMaxTimeoutMs);
    m_waiting.append(job);
    m_idle.stop();
    schedulePump();
    return job.ticket;
}

void PageRenderer::cancel(quint64 ticket)
{
    for (int i = 0; i < m_waiting.size(); ++i) {
        if (m_waiting.at(i).ticket == ticket) {
            m_waiting.removeAt(i);
            return;
        }
    }
    for (auto it = m_underWay.begin(); it != m_underWay.end(); ++it) {
        if (it->ticket == ticket && !it->cancelled) {
            // Its slot stays taken until the helper has closed the page.
            it->cancelled = true;
            if (m_helper)
                m_helper->send(RenderProtocol::cancelMessage(it.key()));
            return;
        }
    }
}

void PageRenderer::cancelAll()
{
    m_waiting.clear();
    for (auto it = m_underWay.begin(); it != m_underWay.end(); ++it) {
        if (!it->cancelled && m_helper)
            m_helper->send(RenderProtocol::cancelMessage(it.key()));
        it->cancelled = true;
    }
}

int PageRenderer::pending() const
{
    int n = int(m_waiting.size());
    for (const Job &j : m_underWay)
        n += j.cancelled ? 0 : 1;
    return n;
}

void PageRenderer::schedulePump()
{
    if (m_pumpScheduled)
        return;
    m_pumpScheduled = true;
    QMetaObject::invokeMethod(this, &PageRenderer::pump, Qt::QueuedConnection);
}

void PageRenderer::pump()
{
    m_pumpScheduled = false;
    if (m_waiting.isEmpty()) {
        if (m_underWay.isEmpty() && m_helper)
            m_idle.start(kIdleMs);
        return;
    }
    if (!m_helper) {
        if (m_program.isEmpty()) {
            QList<RenderResult> failed;
            for (const Job &job : std::as_const(m_waiting))
                failed << failure(job, QStringLiteral("reciplex-render is not installed"));
            m_waiting.clear();
            deliver(failed);
            return;
        }
        startHelper();
        return;
    }
    if (!m_helper->isReady() || m_helper->isStopping())
        return; // a stopping helper is replaced once it has gone
    // A request under way when a helper ended may have been what ended it: it
    // runs alone, and nothing starts beside it.
    auto aloneUnderWay = [this] {
        for (const Job &j : std::as_const(m_underWay))
            if (j.attempts > 0)
                return true;
        return false;
    };
    while (!m_waiting.isEmpty()) {
        const int slotsTaken = int(m_underWay.size());
        const bool alone = m_waiting.first().attempts > 0;
        if (slotsTaken >= RenderProtocol::kMaxPagesAtOnce || aloneUnderWay() || (alone && slotsTaken > 0))
            break;
        Job job = m_waiting.takeFirst();
        job.deadline = m_clock.elapsed() + job.request.timeoutMs + kGraceMs;
        const quint64 id = m_nextHelperId++;
        m_underWay.insert(id, job);
        m_helper->send(RenderProtocol::renderMessage(id, job.request));
    }
    if (!m_underWay.isEmpty())
        m_deadlineTick.start(kDeadlineTickMs);
}

void PageRenderer::startHelper()
{
    m_helper = new RenderHelper(m_program, m_limits, this);
    connect(m_helper, &RenderHelper::ready, this, [this] {
        m_failedStarts = 0;
        schedulePump();
    });
    connect(m_helper, &RenderHelper::received, this, &PageRenderer::received);
    connect(m_helper, &RenderHelper::ended, this, &PageRenderer::helperEnded);
    m_helper->start();
}

void PageRenderer::received(const QJsonObject &message)
{
    if (message.value(QLatin1String("type")).toString() != QLatin1String("result"))
        return; // a complaint about a line; the request it concerns still gets its answer or its deadline
    const quint64 id = quint64(message.value(QLatin1String("id")).toDouble());
    if (!m_underWay.contains(id))
        return;
    const Job job = m_underWay.take(id);
    schedulePump();
    if (job.cancelled)
        return;
    RenderResult result = RenderProtocol::readResult(message);
    result.ticket = job.ticket;
    result.requestedUrl = job.request.url;
    deliver({result});
}

void PageRenderer::checkDeadlines()
{
    const qint64 now = m_clock.elapsed();
    QList<RenderResult> failed;
    int overdue = 0;
    for (auto it = m_underWay.begin(); it != m_underWay.end();) {
        if (now >= it->deadline) {
            ++overdue;
            if (!it->cancelled)
                failed << failure(*it, QStringLiteral("reciplex-render gave no answer within %1 seconds")
                                       .arg((it->request.timeoutMs + kGraceMs) / 1000));
            it = m_underWay.erase(it);
        } else {
            ++it;
        }
    }
    if (m_underWay.isEmpty())
        m_deadlineTick.stop();
    if (overdue == 0)
        return;
    // A helper that lets a request go past its deadline is hung: the others
    // under way start again in a new one, and their own tries are not counted.
    QList<Job> again;
    for (const Job &job : std::as_const(m_underWay))
        if (!job.cancelled)
            again << job;
    std::sort(again.begin(), again.end(), [](const Job &a, const Job &b) { return a.ticket < b.ticket; });
    m_waiting = again + m_waiting;
    m_underWay.clear();
    dropHelper();
    schedulePump();
    deliver(failed);
}

void PageRenderer::helperEnded(const QString &reason)
{
    const bool neverReady = m_helper && !m_helper->isReady();
    QList<RenderResult> failed;
    QList<Job> again;
    for (Job job : std::as_const(m_underWay)) {
        if (job.cancelled)
            continue;
        // A helper closed after being idle had nothing under way; one that
        // ended by itself may have been ended by a page under way.
        if (!reason.isEmpty() && ++job.attempts > 1)
            failed << failure(job, reason);
        else
            again << job;
    }
    m_underWay.clear();
    std::sort(again.begin(), again.end(), [](const Job &a, const Job &b) { return a.ticket < b.ticket; });
    m_waiting = again + m_waiting;
    dropHelper();
    if (neverReady && ++m_failedStarts >= kStartsTried) {
        m_failedStarts = 0;
        for (const Job &job : std::as_const(m_waiting))
            failed << failure(job, reason);
        m_waiting.clear();
    }
    schedulePump();
    deliver(failed);
}

void PageRenderer::dropHelper()
{
    m_deadlineTick.stop();
    m_idle.stop();
    if (!m_helper)
        return;
    m_helper->disconnect(this);
    m_helper->deleteLater(); // not from inside its own signal
    m_helper = nullptr;
}

void PageRenderer::deliver(const QList<RenderResult> &results)
{
    const QPointer<PageRenderer> self(this);
    for (const RenderResult &r : results) {
        emit finished(r);
        if (!self)
            return;
    }
}

RenderResult PageRenderer::failure(const Job &job, const QString &reason)
{
    RenderResult r;
    r.ticket = job.ticket;
    r.requestedUrl = job.request.url;
    r.reason = reason;
    return r;
}
