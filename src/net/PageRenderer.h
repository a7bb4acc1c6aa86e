#pragma once

#include "net/RenderHelper.h"
#include "net/RenderTypes.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

// Renders pages in the helper program reciplex-render, which it starts on
// the first request and closes when it has had nothing to do for a while.
// Nothing of the browser engine runs in this process.
//
// Every request gets a ticket and is answered exactly once by finished (never
// from inside render()), unless it was cancelled: with the rendered anchors,
// or with ok false and the reason. At most two pages render at once; the rest
// wait in order. The helper is watched: a request it has not answered by its
// time-out and a grace is failed and the helper killed; when the helper
// crashes, dies or outgrows its memory limit, the requests under way are tried
// once more, each alone, and fail when it happens again. The other requests
// go on in a new helper.
class PageRenderer : public QObject
{
    Q_OBJECT
public:
    explicit PageRenderer(QObject *parent = nullptr);
    // Ends the helper at once; no finished follows for requests still open.
    ~PageRenderer() override;

    quint64 render(const RenderRequest &request);
    // No finished follows for the ticket; a page under way is ended.
    void cancel(quint64 ticket);
    void cancelAll();
    // Requests waiting or under way, not counting cancelled ones.
    int pending() const;
    // The running helper's process id, 0 when none runs.
    qint64 helperProcessId() const { return m_helper ? m_helper->processId() : 0; }

    // A request for url as the settings say: RenderTimeout,
    // IgnoreCertificateErrors, and the user's own UserAgent when one is set
    // (the engine's own browser user agent otherwise).
    static RenderRequest requestFromSettings(const QString &url);

    // The program started: reciplex-render beside the running executable,
    // else the installed one. setHelperProgram overrides it (tests).
    static QString findHelperProgram();
    void setHelperProgram(const QString &path) { m_program = path; }
    void setLimits(const RenderHelper::Limits &limits) { m_limits = limits; }
    // How long past its own time-out a request may go unanswered before the
    // helper is taken for hung.
    static constexpr int kGraceMs = 10 * 1000;
    // Closed when idle this long.
    static constexpr int kIdleMs = 30 * 1000;

signals:
    void finished(const RenderResult &result);

private:
    struct Job
    {
        quint64 ticket = 0;
        RenderRequest request;
        int attempts = 0;       // how many helpers ended while it was under way
        qint64 deadline = 0;    // ms on m_clock
        bool cancelled = false; // under way, but its answer is not wanted
    };

    void schedulePump();
    void pump();
    void startHelper();
    void received(const QJsonObject &message);
    void helperEnded(const QString &reason);
    void checkDeadlines();
    void dropHelper();
    // Delivers the results in order; stops if a receiver deleted this object.
    void deliver(const QList<RenderResult> &results);
    static RenderResult failure(const Job &job, const QString &reason);

    QString m_program;
    RenderHelper::Limits m_limits;
    RenderHelper *m_helper = nullptr;
    QList<Job> m_waiting;
    QHash<quint64, Job> m_underWay;    // by helper id; a cancelled one holds its slot until answered
    quint64 m_nextTicket = 1;
    quint64 m_nextHelperId = 1;
    int m_failedStarts = 0;
    bool m_pumpScheduled = false;
    QElapsedTimer m_clock;
    QTimer m_deadlineTick;
    QTimer m_idle;
};
