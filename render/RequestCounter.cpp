#include "RequestCounter.h"

void RequestCounter::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QString scheme = info.requestUrl().scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        info.block(true);
        return;
    }
    ++m_started;
}
