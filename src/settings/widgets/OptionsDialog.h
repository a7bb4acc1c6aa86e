#pragma once

#include <QPointer>
#include <QWidget>

class AlertsPage;
class QSpinBox;
class QTabWidget;

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// The Scanning Options window, with the alerts on a page of their own. Every control writes its key the moment it
// changes, loading included; there is no apply step and closing writes
// nothing. The page limit is pushed to its holder at once so a running scan
// sees a new choice. Modeless; one at a time.
class OptionsDialog : public QWidget
{
    Q_OBJECT
public:
    // Opens the window, or brings the open one to the front.
    static OptionsDialog *open(QWidget *parent = nullptr);
    static OptionsDialog *openWindow();

    // The pages: the scanning options first, then "Alerts".
    QTabWidget *pages() const { return m_pages; }
    AlertsPage *alertsPage() const { return m_alerts; }
    void showAlertsPage();

    void addFileType();    // "Add", Enter in the entry box
    void deleteFileType(); // "Delete"

signals:
    void pageLimitChanged(int pages);
    void globalRulesEditorRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    explicit OptionsDialog(QWidget *parent);
    void load();
    QCheckBox *flag(const char *key, const QString &label, const QString &tip = QString());
    void timeoutEdited(const QString &text);
    void rewriteFileTypes();

    QList<QCheckBox *> m_flags;
    QComboBox *m_pageLimit;
    QLineEdit *m_timeout;
    QLineEdit *m_typeEntry;
    QPushButton *m_addType;
    QPushButton *m_deleteType;
    QListWidget *m_types;
    QLineEdit *m_userAgent;
    QLineEdit *m_proxy;
    QSpinBox *m_sitesAtOnce;
    QSpinBox *m_renderTimeout;
    QSpinBox *m_retryDelay;
    bool m_loading = false;   // the spin box is being set from the store
    QTabWidget *m_pages = nullptr;
    AlertsPage *m_alerts = nullptr;
};
