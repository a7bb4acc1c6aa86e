#pragma once

#include "ui/BrowserView.h"

#include <QStringList>

class QTextBrowser;

// Stands in for the web engine where it is not built: local files (the report)
// are shown as rich text; a web address is shown as a note with a link that
// opens it in the desktop's browser. It keeps its own back/forward history.
class TextBrowserStandIn : public BrowserView
{
    Q_OBJECT
public:
    explicit TextBrowserStandIn(QWidget *parent = nullptr);

    void back() override;
    void forward() override;
    void stop() override {}
    void reload() override;
    QString locationUrl() const override;
    QString locationTitle() const override;

protected:
    void navigateTo(const QString &address) override;

private:
    void show(const QString &address);

    QTextBrowser *m_view;
    QStringList m_history;
    int m_position = -1;
};
