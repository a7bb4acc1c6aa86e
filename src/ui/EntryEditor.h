#pragma once

#include "model/Project.h"

#include <QPointer>
#include <QWidget>

class QButtonGroup;
class QLineEdit;
class QTreeWidget;

// The three near-twin editors: one Linking Site's five columns with its
// linking-site rules, one Main Site's URL with its main-site rules, and the
// global rules. Each edits a working copy of its rules and writes to the
// project only on "OK". Modeless; one window of each kind at a time.
class EntryEditor : public QWidget
{
    Q_OBJECT
public:
    enum class Kind { LinkingSite, MainSite, Global };

    // Open the editor of a kind for an entry, or bring the open one of that
    // kind to the front (it keeps the entry it was opened for).
    static EntryEditor *openLinkingSite(Project &project, int mainPos, int row, QWidget *parent = nullptr);
    static EntryEditor *openMainSite(Project &project, int mainPos, QWidget *parent = nullptr);
    static EntryEditor *openGlobal(Project &project, QWidget *parent = nullptr);
    static EntryEditor *openWindow(Kind kind); // the open window of a kind, or nullptr
    static void closeAll();

    Kind kind() const { return m_kind; }

    void addRule();    // "Add Rule", Enter in the value box
    void deleteRule(); // "Delete Rule"
    void accept();     // "OK"

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    EntryEditor(Kind kind, Project &project, int mainPos, int row, QWidget *parent);
    static QPointer<EntryEditor> &slot(Kind kind);
    QLineEdit *addField(class QFormLayout *form, const char *name, const QString &label, const QString &tip,
                        const QString &value);
    void listRule(const Rule &rule);
    Project::Scope scope() const;

    Kind m_kind;
    Project &m_project;
    quint64 m_mainId = 0; // the entry it was opened for, wherever it moves
    quint64 m_rowId = 0;
    QString m_mainUrl;   // texts of the entry as opened: the scope of its rules
    QString m_remoteUrl;
    QList<QLineEdit *> m_fields;
    QTreeWidget *m_rules;
    QButtonGroup *m_types;
    QLineEdit *m_value;
};
