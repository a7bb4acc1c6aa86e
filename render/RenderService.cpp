#include "RenderService.h"

#include "HelperChannel.h"
#include "PageRender.h"

#include "net/RenderProtocol.h"

#include <QCoreApplication>

RenderService::RenderService(HelperChannel *channel, int maxPages, qint64 pageMemoryLimit, QObject *parent)
    : QObject(parent), m_channel(channel), m_maxPages(maxPages), m_pageMemoryLimit(pageMemoryLimit)
{
    connect(channel, &HelperChannel::received, this, &RenderService::received);
    connect(channel, &HelperChannel::inputEnded, this, [this] {
        m_inputEnded = true;
        quitWhenIdle();
    });
}

void RenderService::received(const QJsonObject &message)
{
    const QString type = message.value(QLatin1String("type")).toString();
    quint64 id = 0;
    if (type == QLatin1String("render")) {
        RenderRequest request;
        QString error;
        if (!RenderProtocol::readRender(message, &id, &request, &error)) {
            const QJsonValue rawId = message.value(QLatin1String("id"));
            if (rawId.isDouble() && rawId.toDouble() >= 0) {
                RenderResult refused;
                refused.reason = error;
                m_channel->send(RenderProtocol::resultMessage(quint64(rawId.toDouble()), refused));
            } else {
                m_channel->send(RenderProtocol::errorMessage(error));
            }
            return;
        }
        bool known = m_running.contains(id);
        for (const auto &w : std::as_const(m_waiting))
            known = known || w.first == id;
        if (known) {
            m_channel->send(RenderProtocol::errorMessage(QStringLiteral("id %1 is already in use").arg(id)));
            return;
        }
        m_waiting.append({id, request});
        startWaiting();
    } else if (type == QLatin1String("cancel")) {
        id = quint64(message.value(QLatin1String("id")).toDouble());
        for (int i = 0; i < m_waiting.size(); ++i) {
            if (m_waiting.at(i).first == id) {
                m_waiting.removeAt(i);
                RenderResult cancelled;
                cancelled.reason = QStringLiteral("cancelled");
                m_channel->send(RenderProtocol::resultMessage(id, cancelled));
                return;
            }
        }
        if (PageRender *render = m_running.value(id))
            render->cancel();
    } else {
        m_channel->send(RenderProtocol::errorMessage(QStringLiteral("unknown message type \"%1\"").arg(type.left(40))));
    }
}

void RenderService::startWaiting()
{
    while (m_running.size() < m_maxPages && !m_waiting.isEmpty()) {
        const auto [id, request] = m_waiting.takeFirst();
        auto *render = new PageRender(id, request, m_pageMemoryLimit, this);
        m_running.insert(id, render);
        connect(render, &PageRender::finished, this,
                [this, render](quint64, const RenderResult &result) { finished(render, result); });
        render->start();
    }
}

// The page is closed first (outside its own signal), then the answer goes out.
void RenderService::finished(PageRender *render, const RenderResult &result)
{
    const quint64 id = render->id();
    connect(render, &QObject::destroyed, this, [this, id, result] {
        m_running.remove(id);
        m_channel->send(RenderProtocol::resultMessage(id, result));
        startWaiting();
        quitWhenIdle();
    });
    render->deleteLater();
}

void RenderService::quitWhenIdle()
{
    if (m_inputEnded && m_running.isEmpty() && m_waiting.isEmpty())
        QCoreApplication::quit();
}
