#include "outputs/widgets/ReportBrowser.h"

#include <QVBoxLayout>

#ifdef RECIPLEX_HAVE_WEBENGINE
#include <QWebEngineView>
#else
#include <QTextBrowser>
#endif

ReportBrowser::ReportBrowser(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
#ifdef RECIPLEX_HAVE_WEBENGINE
    m_view = new QWebEngineView(this);
#else
    m_view = new QTextBrowser(this);
    m_view->setOpenLinks(false); // a report link does not replace the report
#endif
    layout->addWidget(m_view);
}

bool ReportBrowser::usesWebEngine()
{
#ifdef RECIPLEX_HAVE_WEBENGINE
    return true;
#else
    return false;
#endif
}

void ReportBrowser::navigate(const QUrl &url)
{
    const bool again = url == m_requested;
    m_requested = url;
#ifdef RECIPLEX_HAVE_WEBENGINE
    if (again)
        m_view->reload();
    else
        m_view->setUrl(url);
#else
    if (url == QUrl(QStringLiteral("about:blank")))
        m_view->clear();
    else if (again)
        m_view->reload();
    else
        m_view->setSource(url, QTextDocument::HtmlResource);
#endif
}
