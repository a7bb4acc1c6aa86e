#pragma once

#include <QWidget>

#include <functional>

class DialogService;
class Project;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

// Posting the results to the user's script, in one of two places:
// - Main: the main window's "Post" tab (`framePost`). The template is
//   `txtPost` (the project's script URL) in mode 0, the project's per-Main-
//   Site script targets (`lstMulti`) in mode 1; the mode is restored from
//   optScript.
// - Import: the "Post Links" tab of the import windows. The template is
//   always the window's own "My Script URL:" box (getURL3); its target list
//   is the window's own and is neither saved nor read by posting.
// Both write optScript on a mode click, switch their controls the same way,
// log into the one posting log window and do nothing on a second "Post Links
// Now" while a run is in progress.
class PostPanel : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { Main, Import };

    // setStatus: status panel 1 of the hosting window.
    PostPanel(Kind kind, Project &project, DialogService &dialogs, std::function<void(const QString &)> setStatus,
              QWidget *parent = nullptr);

    // The main window's hook for selecting the "Post" tab: the Main Site
    // chooser is cleared and refilled in list order; its text stays.
    void refillChooser();

    void setMode(int mode); // as a click on the option of that index
    int mode() const;
    void addTarget();
    void deleteTarget();
    void showVariables();
    void showExample();
    void postLinks(); // "Post Links Now"
    bool isPosting() const { return m_posting; }

    QRadioButton *option(int index) const { return index == 0 ? m_opt0 : m_opt1; }
    QLineEdit *templateBox() const { return m_template; }
    QComboBox *siteChooser() const { return m_sites; }
    QLineEdit *targetUrlBox() const { return m_targetUrl; }
    QPushButton *addButton() const { return m_add; }
    QPushButton *deleteButton() const { return m_del; }
    QTreeWidget *targetList() const { return m_targets; }
    QPushButton *variablesButton() const { return m_variables; }
    QPushButton *exampleButton() const { return m_example; }
    QPushButton *postButton() const { return m_post; }

signals:
    // A hosting window that closes during a run waits for the end.
    void postingStarted();
    void postingFinished();

private:
    void applyMode(int mode);
    void showProjectTargets();

    Kind m_kind;
    Project &m_project;
    DialogService &m_dialogs;
    std::function<void(const QString &)> m_setStatus;
    bool m_posting = false;

    QRadioButton *m_opt0 = nullptr;
    QRadioButton *m_opt1 = nullptr;
    QLineEdit *m_template = nullptr;
    QComboBox *m_sites = nullptr;
    QLineEdit *m_targetUrl = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_del = nullptr;
    QTreeWidget *m_targets = nullptr;
    QPushButton *m_variables = nullptr;
    QPushButton *m_example = nullptr;
    QPushButton *m_post = nullptr;
};
