#pragma once

#include <QWidget>

class BrowserView;
class QLineEdit;

// The "Web" tab: address box with its go button, the Back / Forward / Stop /
// Refresh row, and the browser filling the rest.
class WebTab : public QWidget
{
    Q_OBJECT
public:
    explicit WebTab(QWidget *parent = nullptr);

    BrowserView *browser() const { return m_browser; }
    QLineEdit *addressBox() const { return m_address; }

private:
    BrowserView *m_browser;
    QLineEdit *m_address;
};
