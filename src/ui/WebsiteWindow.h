#pragma once

#include <QMainWindow>

class BrowserView;
class QLabel;
class QLineEdit;

// The separate window that shows the maker's website. It is created on first
// use and reused; when the main window has already gone, closing it ends the
// program.
class WebsiteWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit WebsiteWindow(QWidget *parent = nullptr);

    // Shows the window as it does when loaded: on top, at the maker's website,
    // maximised, then no longer on top. A second call only brings it forward.
    void open();

    BrowserView *browser() const { return m_browser; }
    QLineEdit *addressBox() const { return m_address; }
    QString statusText(int panel) const;

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    BrowserView *m_browser;
    QLineEdit *m_address;
    QLabel *m_panel1;
    QLabel *m_panel2;
    bool m_loaded = false;
};
