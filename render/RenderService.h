#pragma once

#include "net/RenderTypes.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPair>

class HelperChannel;
class PageRender;

// Takes the caller's messages, renders at most maxPages pages at once (the
// rest wait in order) and answers every render request exactly once. An
// answer goes out only once its page has been closed. When the input ends,
// the renders under way finish and the program quits.
class RenderService : public QObject
{
    Q_OBJECT
public:
    RenderService(HelperChannel *channel, int maxPages, qint64 pageMemoryLimit, QObject *parent = nullptr);

private:
    void received(const QJsonObject &message);
    void startWaiting();
    void finished(PageRender *render, const RenderResult &result);
    void quitWhenIdle();

    HelperChannel *m_channel;
    const int m_maxPages;
    const qint64 m_pageMemoryLimit;
    QList<QPair<quint64, RenderRequest>> m_waiting;
    QHash<quint64, PageRender *> m_running;
    bool m_inputEnded = false;
};
