#pragma once

#include <QWebEngineUrlRequestInterceptor>

#include <atomic>

// Counts the requests a page starts (the document's own included), for the
// test whether its network has gone quiet, and blocks every request that is
// not for the web.
class RequestCounter : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
    int started() const { return m_started.load(); }

private:
    std::atomic<int> m_started{0};
};
