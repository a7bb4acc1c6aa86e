#pragma once

#include "model/Project.h"

#include <QWidget>

class DialogService;
class QCheckBox;
class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// The "Pages" tab: the "Page Builder" frame. The three text areas are the
// project's page texts: an edit goes to the project, a change of the project
// (generated links, a project opened or cleared) comes back to the area, and
// every change is written to txtHTML1 to txtHTML3. The text areas give LF line
// ends; the project and the settings keep CR LF.
//
// Constructed at start-up, before the last project is opened: it restores the
// check boxes and the three texts from the settings and always starts with
// "Generate links for all Main Sites".
class PageBuilderPanel : public QWidget
{
    Q_OBJECT
public:
    PageBuilderPanel(Project &project, DialogService &dialogs, QWidget *parent = nullptr);

    // The main window's hook for selecting the "Pages" tab: the chooser is
    // cleared and refilled with the Main Sites in list order; its text stays.
    void refillChooser();

    void generateLinks(); // "Generate Links"
    void saveWebpage();   // "Save Webpage"

    QPushButton *generateButton() const { return m_generate; }
    QPushButton *saveButton() const { return m_save; }
    QCheckBox *newWindowBox() const { return m_newWin; }
    QCheckBox *bulletBox() const { return m_bullet; }
    QRadioButton *allOption() const { return m_optAll; }
    QRadioButton *oneOption() const { return m_optOne; }
    QComboBox *chooser() const { return m_chooser; }
    QPlainTextEdit *textArea(Project::PageText which) const;

private:
    void chooseAll(bool all);
    void areaEdited(Project::PageText which);
    void projectTextChanged(Project::PageText which);

    Project &m_project;
    DialogService &m_dialogs;
    QPushButton *m_generate = nullptr;
    QPushButton *m_save = nullptr;
    QCheckBox *m_newWin = nullptr;
    QCheckBox *m_bullet = nullptr;
    QRadioButton *m_optAll = nullptr;
    QRadioButton *m_optOne = nullptr;
    QComboBox *m_chooser = nullptr;
    QPlainTextEdit *m_areas[3] = {};
    bool m_updatingArea = false;
};
