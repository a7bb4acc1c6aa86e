#pragma once

#include <QString>
#include <QUrl>

class QWidget;

// Every message box, file dialog and "open with the desktop's handler" of the
// window program goes through this one service, so a test installs its own
// answerer and no modal window or outside program ever appears.
class DialogService
{
public:
    enum class Button { Ok, Cancel, Yes, No, Abort, Retry, Ignore };
    enum class Buttons { Ok, OkCancel, YesNo, AbortRetryIgnore };
    enum class Icon { None, Information, Warning, Critical, Question };

    struct Message
    {
        QString title; // empty: the product name, as a message without a title of its own shows
        QString text;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
    };

    virtual ~DialogService() = default;

    virtual Button ask(QWidget *parent, const Message &message);
    // An empty result means the user cancelled.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                                 const QString &filter);
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &proposedPath,
                                 const QString &filter);
    virtual bool openWithDesktop(const QUrl &url);

    // The service in force; install(nullptr) restores the real dialogs.
    static DialogService &instance();
    static void install(DialogService *service);

    // A message with one OK button.
    static void inform(QWidget *parent, const QString &text, const QString &title = QString(),
                       Icon icon = Icon::None);
};
