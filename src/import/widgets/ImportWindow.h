#pragma once

#include <QWidget>

class DialogService;
class PostPanel;
class Project;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

// The two import windows, "Import Linking Sites" and "Import Main Sites": one
// window each, modeless, alike but for the file import and a few texts.
// "Get Links" imports from a text file, from the user's links page (Simple)
// or from a delimited list printed by a script (Advanced); "Post Links" posts
// the results as the main window's "Post" tab does, to the window's own "My
// Script URL:". Imports never mark the project edited; Linking Sites go to the
// Main Site current at that moment, and with none current nothing is added.
class ImportWindow : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { LinkingSites, MainSites };

    // Opens the window of that kind, or brings the open one forward with its
    // state unchanged.
    static ImportWindow *showWindow(Kind kind, Project &project, DialogService &dialogs);
    static ImportWindow *existing(Kind kind);
    // The main window closes the Import Linking Sites window at exit.
    static void closeWindow(Kind kind);

    Kind kind() const { return m_kind; }

    void importFile(); // `Command4`
    void importBacklinks(); // `cmdImportBacklinks`: a backlink CSV export (Linking Sites window)
    void getLinks();   // `Command1`
    void addSelected(); // `cmdAdd`
    bool isBusy() const;

    QTabWidget *tabs() const { return m_tabs; }
    QPushButton *importButton() const { return m_import; }
    QPushButton *backlinksButton() const { return m_backlinks; }
    QRadioButton *modeOption(int index) const { return index == 0 ? m_simple : m_advanced; }
    QLineEdit *pageUrlBox() const { return m_text1; }
    QLineEdit *listUrlBox() const { return m_text2; }
    QComboBox *delimiterBox() const { return m_delimiter; }
    QPushButton *getLinksButton() const { return m_getLinks; }
    QTreeWidget *resultsList() const { return m_list; }
    QPushButton *addButton() const { return m_add; }
    PostPanel *postPanel() const { return m_post; }
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ImportWindow(Kind kind, Project &project, DialogService &dialogs);
    void setStatus(const QString &text);
    void runEnded();
    void chooseMode(int index);

    Kind m_kind;
    Project &m_project;
    DialogService &m_dialogs;
    bool m_harvesting = false;
    bool m_closeWhenIdle = false;
    int m_chosenDelimiter = -1; // the item chosen from the list; -1 when typed or untouched

    QTabWidget *m_tabs = nullptr;
    QPushButton *m_import = nullptr;
    QPushButton *m_backlinks = nullptr;
    QRadioButton *m_simple = nullptr;
    QRadioButton *m_advanced = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QComboBox *m_delimiter = nullptr;
    QPushButton *m_getLinks = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_add = nullptr;
    PostPanel *m_post = nullptr;
    QLabel *m_status = nullptr;
};
