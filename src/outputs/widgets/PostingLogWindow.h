#pragma once

#include <QPointer>
#include <QWidget>

class QPlainTextEdit;

// The posting log: one small window whose text box fills it. It is created on
// first use and shared by every window that posts; its text grows with every
// run while it stays open and starts empty when it is created again after the
// user closed it. It never keeps the program running on its own.
class PostingLogWindow : public QWidget
{
    Q_OBJECT
public:
    // The window, created when there is none, shown and brought forward.
    static PostingLogWindow *showLog();
    // The window when it exists, else nullptr.
    static PostingLogWindow *existing();

    // Appends text as posting writes it (CR LF line ends) and moves the caret
    // to the end.
    void appendText(const QString &text);
    // Everything appended since the window was created, as appended.
    QString logText() const { return m_log; }

private:
    PostingLogWindow();

    static QPointer<PostingLogWindow> &instance();
    QPlainTextEdit *m_text = nullptr;
    QString m_log;
};
