#pragma once

#include "model/ListSortState.h"

#include <QGroupBox>
#include <QHash>

class Project;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QLabel;

// The "Websites" panel: the Main Sites sub-panel and, under it, the Linking
// Sites of the current Main Site. Adding, selecting, deleting, sorting and
// the editors' Edit buttons; the project holds all data.
class WebsitesPanel : public QGroupBox
{
    Q_OBJECT
public:
    WebsitesPanel(Project &project, QWidget *parent = nullptr);

    void addMainSite();        // "Add" under Main Sites, Enter in txtDomain
    void selectMainSite(int pos);
    void addLinkingSite();     // "Add" under Linking Sites, Enter in Text1
    void deleteLinkingSite();  // "Del" under Linking Sites, "Delete Site"
    void deleteMainSite();     // "Del" under Main Sites
    void editMainSite();
    void editLinkingSite();
    void sortLinkingSites(int column);
    void selectLinkingSite(int mainPos, int row);
    // Marks the Linking Sites a scan has under way, as (Main Site, row).
    void markSitesInFlight(const QList<QPair<int, int>> &sites);

    int selectedMainSite() const;
    int firstSelectedLinkingSite() const;
    // After a project file has been read, the next change of txtDomain does
    // not count as an edit.
    void skipNextDomainChange() { m_skipDomainChange = true; }
    // Column widths of the Linking Sites list for a list width.
    void sizeColumns(int width);

    QLineEdit *mainEntry() const { return m_domain; }
    QLineEdit *linkingEntry() const { return m_linkingEntry; }

signals:
    void statusMessage(const QString &text);       // status panel 1
    void importMainSitesRequested();
    void importLinkingSitesRequested();
    void projectRebuilt();                          // the report is rebuilt after a snapshot read
    void linkingSelectionChanged();                 // rows of the Linking Sites list (de)selected

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fillMainSites();
    void fillLinkingSites();
    void updateLinkingRow(int mainPos, int row);
    void paintInFlight(int row, bool inFlight);
    void linkingRowChosen();
    void followLinkingSelection();
    void projectCleared();
    void currentChanged(int pos);

    Project &m_project;
    QList<QPair<int, int>> m_inFlight;
    QLineEdit *m_domain;
    QPushButton *m_addMain, *m_delMain, *m_editMain, *m_importMain;
    QListWidget *m_mainList;
    QGroupBox *m_linkingPanel;
    QLabel *m_linkingLabel;
    QLineEdit *m_linkingEntry;
    QPushButton *m_addLinking, *m_delLinking, *m_editLinking, *m_importLinking;
    QTreeWidget *m_linkingList;
    int m_shown = -1;                 // the Main Site whose Linking Sites are on display
    bool m_skipDomainChange = false;
    bool m_selecting = false;
    QHash<int, ListSortState> m_sort; // each Main Site's list flips its own direction
};
