#include "ui/DialogService.h"

#include "ui/Identity.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>

static DialogService *&installed()
{
    static DialogService *service = nullptr;
    return service;
}

DialogService &DialogService::instance()
{
    static DialogService realDialogs;
    return installed() ? *installed() : realDialogs;
}

void DialogService::install(DialogService *service)
{
    installed() = service;
}

void DialogService::inform(QWidget *parent, const QString &text, const QString &title, Icon icon)
{
    instance().ask(parent, Message{title, text, Buttons::Ok, icon});
}

static QMessageBox::Icon toQt(DialogService::Icon icon)
{
    switch (icon) {
    case DialogService::Icon::None: return QMessageBox::NoIcon;
    case DialogService::Icon::Information: return QMessageBox::Information;
    case DialogService::Icon::Warning: return QMessageBox::Warning;
    case DialogService::Icon::Critical: return QMessageBox::Critical;
    case DialogService::Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

DialogService::Button DialogService::ask(QWidget *parent, const Message &message)
{
    QMessageBox box(toQt(message.icon), message.title.isEmpty() ? Identity::product() : message.title,
                    message.text, QMessageBox::NoButton, parent);
    switch (message.buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::AbortRetryIgnore:
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return Button::Ok;
    case QMessageBox::Yes: return Button::Yes;
    case QMessageBox::No: return Button::No;
    case QMessageBox::Abort: return Button::Abort;
    case QMessageBox::Retry: return Button::Retry;
    case QMessageBox::Ignore: return Button::Ignore;
    default: break;
    }
    // The close box of a box without Cancel counts as its safest answer.
    switch (message.buttons) {
    case Buttons::Ok: return Button::Ok;
    case Buttons::YesNo: return Button::No;
    case Buttons::AbortRetryIgnore: return Button::Abort;
    case Buttons::OkCancel: break;
    }
    return Button::Cancel;
}

QString DialogService::openFileName(QWidget *parent, const QString &caption, const QString &folder,
                                     const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString DialogService::saveFileName(QWidget *parent, const QString &caption, const QString &proposedPath,
                                    const QString &filter)
{
    // The program asks its own overwrite questions where it has any.
    return QFileDialog::getSaveFileName(parent, caption, proposedPath, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

bool DialogService::openWithDesktop(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
