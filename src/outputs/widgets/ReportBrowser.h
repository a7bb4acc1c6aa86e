#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;
#ifdef RECIPLEX_HAVE_WEBENGINE
class QWebEngineView;
#endif

// The report viewer of the "Reports" tab: the embedded web engine where the
// program was built with it, a plain rich-text browser otherwise. It only
// navigates; it keeps the last URL asked for, whatever the engine made of it.
class ReportBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit ReportBrowser(QWidget *parent = nullptr);

    // Navigates to the URL; the same URL again reloads it (the file behind it
    // has been rewritten). "about:blank" shows an empty page.
    void navigate(const QUrl &url);
    QUrl requestedUrl() const { return m_requested; }
    static bool usesWebEngine();

private:
    QUrl m_requested;
#ifdef RECIPLEX_HAVE_WEBENGINE
    QWebEngineView *m_view = nullptr;
#else
    QTextBrowser *m_view = nullptr;
#endif
};
