#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// Every message box, file dialog and "open with the desktop's handler" of the
// window program goes through this one service, so a test can answer them
// without a modal window. In answering mode nothing is shown: each call takes
// the next queued answer (or a default) and records what was asked.
class DialogService : public QObject
{
    Q_OBJECT
public:
    // YesNoOnly is a question that must be answered: Esc and the close box
    // do nothing.
    enum class Buttons { Ok, OkCancel, YesNo, YesNoOnly, YesNoCancel, AbortRetryIgnore };
    enum class Answer { Ok, Cancel, Yes, No, Abort, Retry, Ignore };
    enum class Icon { None, Information, Warning, Critical };

    struct Asked
    {
        QString kind;     // "message", "open", "save", "desktop"
        QString title;
        QString text;     // message text, or the dialog's filter / the opened URL
        QString folder;   // file dialogs: the start folder
        QString proposed; // save dialog: the proposed file name
        Buttons buttons = Buttons::Ok; // message: the buttons offered
    };

    static DialogService &instance();

    Answer message(QWidget *parent, const QString &text, const QString &title = QString(),
                   Buttons buttons = Buttons::Ok, Icon icon = Icon::None);
    // Returns the chosen path, "" when cancelled. filter uses Qt's form
    // ("Project Files (*.prj)").
    QString openFile(QWidget *parent, const QString &folder, const QString &filter);
    QString saveFile(QWidget *parent, const QString &folder, const QString &proposedName, const QString &filter,
                     bool askBeforeOverwrite = false);
    // Opens a file or URL with the desktop's default handler.
    bool openWithDesktop(const QString &urlOrPath);

    // --- answering mode, for tests ---
    void setAnswering(bool on);
    bool isAnswering() const { return m_answering; }
    void queueAnswer(Answer a) { m_answers.append(a); }
    void queuePath(const QString &path) { m_paths.append(path); }
    const QList<Asked> &asked() const { return m_asked; }
    void clearAsked() { m_asked.clear(); }

signals:
    void messageShown(const QString &text); // also in answering mode

private:
    DialogService() = default;
    bool m_answering = false;
    QList<Answer> m_answers;
    QStringList m_paths;
    QList<Asked> m_asked;
};
