#include "outputs/widgets/PostingLogWindow.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

QPointer<PostingLogWindow> &PostingLogWindow::instance()
{
    static QPointer<PostingLogWindow> window;
    return window;
}

PostingLogWindow::PostingLogWindow() : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("PostingLog"));
    setWindowTitle(QStringLiteral("Posting Log"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    m_text = new QPlainTextEdit(this);
    m_text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_text->setReadOnly(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    resize(520, 320);
}

PostingLogWindow *PostingLogWindow::showLog()
{
    QPointer<PostingLogWindow> &w = instance();
    if (!w)
        w = new PostingLogWindow;
    w->show();
    w->raise();
    return w;
}

PostingLogWindow *PostingLogWindow::existing()
{
    return instance().data();
}

void PostingLogWindow::appendText(const QString &text)
{
    m_log += text;
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextCursor end = m_text->textCursor();
    end.movePosition(QTextCursor::End);
    end.insertText(shown);
    m_text->setTextCursor(end);
    m_text->ensureCursorVisible();
}
