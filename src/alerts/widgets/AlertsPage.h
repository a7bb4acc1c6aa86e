#pragma once

#include <QWidget>

class AlertWorker;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The "Alerts" page of the options: when the history counts a link as lost,
// where the alerts after a scan with changes go (a webhook, e-mail through
// an SMTP server, a desktop notification) and "Send test alert". Each field writes its key as it is
// edited; the password goes to the secret store when its editing ends.
class AlertsPage : public QWidget
{
    Q_OBJECT
public:
    explicit AlertsPage(QWidget *parent = nullptr);

    // The project the test alert names.
    void setProjectPath(const QString &path) { m_projectPath = path; }
    // Stores a password being typed (the window is closing).
    void commitPassword();
    void sendTestAlert();
    bool isSending() const;
    QString resultText() const;

signals:
    void testAlertFinished();

private:
    QLineEdit *textField(const QString &key, const QString &tip, const QString &placeholder = QString());
    void showPasswordPlace();

    QLineEdit *m_password;
    QComboBox *m_security;
    QSpinBox *m_lostAfterRuns;
    QCheckBox *m_notify;
    QLabel *m_passwordPlace;
    QPushButton *m_test;
    QLabel *m_result;
    AlertWorker *m_worker;
    QString m_projectPath;
    bool m_passwordEdited = false;
};
