#pragma once

#ifdef RECIPLEX_HAVE_WEBENGINE

#include "ui/BrowserView.h"

class QWebEngineView;

// The embedded browser on the platform's web engine.
class WebEngineBrowser : public BrowserView
{
    Q_OBJECT
public:
    explicit WebEngineBrowser(QWidget *parent = nullptr);

    void back() override;
    void forward() override;
    void stop() override;
    void reload() override;
    QString locationUrl() const override;
    QString locationTitle() const override;
    void setSilent(bool silent) override;

protected:
    void navigateTo(const QString &address) override;

private:
    QWebEngineView *m_view;
};

#endif
