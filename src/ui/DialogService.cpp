#include "ui/DialogService.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QUrl>

#include <memory>

namespace {

// A message box without an escape: Esc and the window's close box leave the
// question open, only one of its buttons answers it.
class MessageBoxWithoutEscape : public QMessageBox
{
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Cancel))
            return;
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override { event->ignore(); }
};

} // namespace

DialogService &DialogService::instance()
{
    static DialogService service;
    return service;
}

void DialogService::setAnswering(bool on)
{
    m_answering = on;
    m_answers.clear();
    m_paths.clear();
    m_asked.clear();
}

DialogService::Answer DialogService::message(QWidget *parent, const QString &text, const QString &title,
                                             Buttons buttons, Icon icon)
{
    emit messageShown(text);
    if (m_answering) {
        m_asked.append(Asked{QStringLiteral("message"), title, text, {}, {}, buttons});
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::OkCancel: return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoOnly:
        case Buttons::YesNoCancel: return Answer::No;
        case Buttons::AbortRetryIgnore: return Answer::Ignore;
        }
        return Answer::Ok;
    }
    const std::unique_ptr<QMessageBox> owned(buttons == Buttons::YesNoOnly ? new MessageBoxWithoutEscape(parent)
                                                                             : new QMessageBox(parent));
    QMessageBox &box = *owned;
    box.setText(text);
    box.setWindowTitle(title.isEmpty() ? QStringLiteral("Reciplex") : title);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo:
    case Buttons::YesNoOnly: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case Buttons::AbortRetryIgnore:
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Ignore: return Answer::Ignore;
    default: return Answer::Ok;
    }
}

QString DialogService::openFile(QWidget *parent, const QString &folder, const QString &filter)
{
    if (m_answering) {
        m_asked.append(Asked{QStringLiteral("open"), {}, filter, folder, {}});
        return m_paths.isEmpty() ? QString() : m_paths.takeFirst();
    }
    return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
}

QString DialogService::saveFile(QWidget *parent, const QString &folder, const QString &proposedName,
                                const QString &filter, bool askBeforeOverwrite)
{
    if (m_answering) {
        m_asked.append(Asked{QStringLiteral("save"), {}, filter, folder, proposedName});
        return m_paths.isEmpty() ? QString() : m_paths.takeFirst();
    }
    const QString start = proposedName.isEmpty() ? folder : folder + QLatin1Char('/') + proposedName;
    return QFileDialog::getSaveFileName(parent, QString(), start, filter, nullptr,
                                        askBeforeOverwrite ? QFileDialog::Options()
                                                           : QFileDialog::DontConfirmOverwrite);
}

bool DialogService::openWithDesktop(const QString &urlOrPath)
{
    if (m_answering) {
        m_asked.append(Asked{QStringLiteral("desktop"), {}, urlOrPath, {}, {}});
        return true;
    }
    const QUrl url = urlOrPath.contains(QLatin1String("://")) ? QUrl(urlOrPath) : QUrl::fromLocalFile(urlOrPath);
    return QDesktopServices::openUrl(url);
}
