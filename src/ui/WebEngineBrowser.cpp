#include "ui/WebEngineBrowser.h"

#ifdef RECIPLEX_HAVE_WEBENGINE

#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {
// A page that can keep its script dialogs to itself (silent mode).
class SilentPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;
    bool silent = false;

protected:
    void javaScriptAlert(const QUrl &origin, const QString &msg) override
    {
        if (!silent)
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl &origin, const QString &msg) override
    {
        return silent ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
    }
    bool javaScriptPrompt(const QUrl &origin, const QString &msg, const QString &def, QString *result) override
    {
        return silent ? false : QWebEnginePage::javaScriptPrompt(origin, msg, def, result);
    }
};
} // namespace

WebEngineBrowser::WebEngineBrowser(QWidget *parent) : BrowserView(parent), m_view(new QWebEngineView(this))
{
    m_view->setPage(new SilentPage(m_view));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    connect(m_view->page(), &QWebEnginePage::linkHovered, this, &BrowserView::statusTextChanged);
    connect(m_view, &QWebEngineView::loadStarted, this, &BrowserView::downloadBegun);
    connect(m_view, &QWebEngineView::loadFinished, this, [this](bool) { emit downloadComplete(); });
    connect(m_view, &QWebEngineView::loadProgress, this, &BrowserView::progressChanged);
}

void WebEngineBrowser::navigateTo(const QString &address)
{
    m_view->setUrl(QUrl::fromUserInput(address));
}

void WebEngineBrowser::back()
{
    m_view->back();
}

void WebEngineBrowser::forward()
{
    m_view->forward();
}

void WebEngineBrowser::stop()
{
    m_view->stop();
}

void WebEngineBrowser::reload()
{
    m_view->reload();
}

QString WebEngineBrowser::locationUrl() const
{
    return m_view->url().toString();
}

QString WebEngineBrowser::locationTitle() const
{
    return m_view->title();
}

void WebEngineBrowser::setSilent(bool silent)
{
    BrowserView::setSilent(silent);
    static_cast<SilentPage *>(m_view->page())->silent = silent;
}

#endif
