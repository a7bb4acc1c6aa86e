#pragma once

#include "net/RenderTypes.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class HeadlessPage;
class QVariant;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;
class RequestCounter;

// One page rendered off screen: loaded in a private, off-the-record profile,
// given time to load and settle, its anchors collected and, when asked, its
// proof picture taken. It answers exactly once through finished, at the
// latest a few seconds after its time-out, whatever the page does: a script
// that never yields, a renderer that crashes or grows past the memory limit
// ends it with a reason. Deleting it closes the page and ends its renderer.
class PageRender : public QObject
{
    Q_OBJECT
public:
    PageRender(quint64 id, const RenderRequest &request, qint64 memoryLimitBytes, QObject *parent = nullptr);
    ~PageRender() override;

    quint64 id() const { return m_id; }
    void start();
    // Ends the render now; it answers "cancelled".
    void cancel();

signals:
    void finished(quint64 id, const RenderResult &result);

private:
    enum class Stage { Idle, Loading, Collecting, Proving, Done };

    void loadingChanged(const QWebEngineLoadingInfo &info);
    void probe();
    void probed(const QVariant &value);
    void collect();
    void collected(const QVariant &value);
    void prove();
    void scrolled(const QVariant &value);
    void measured(const QVariant &value);
    void checkMemory();
    void rendererEnded(int status, int exitCode);
    void fail(const QString &reason);
    void answer();
    // Runs a script in the renderer's own world; the callback only while the
    // render is still at stage.
    void run(const QString &script, Stage stage, void (PageRender::*callback)(const QVariant &));

    const quint64 m_id;
    const RenderRequest m_request;
    const qint64 m_memoryLimit;
    QElapsedTimer m_clock;
    Stage m_stage = Stage::Idle;

    QWebEngineProfile *m_profile = nullptr;
    RequestCounter *m_counter = nullptr;
    HeadlessPage *m_page = nullptr;
    QWebEngineView *m_view = nullptr;

    QTimer m_deadline;      // the request's time-out: the anchors are taken as they stand
    QTimer m_stageLimit;    // a stage after the time-out that the page does not let finish
    QTimer m_settleTick;
    QTimer m_memoryTick;
    QTimer m_scrollPause;

    // Settling: the document is complete, no navigation is under way, and
    // neither its requests nor the document have changed for a while.
    bool m_navigating = false;
    bool m_documentSeen = false; // the probe has found the watcher in a document
    bool m_probing = false;
    qint64 m_lastChangeAt = 0;
    QList<int> m_lastCounts;
    bool m_killedForMemory = false;

    QList<int> m_proofIndexes;
    RenderResult m_result;
};
