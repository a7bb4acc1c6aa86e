#include "alerts/widgets/AlertsPage.h"

#include "alerts/AlertWorker.h"
#include "alerts/SmtpPassword.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

const char *const kSecurityValues[] = {"starttls", "tls", "none"};

QString placeText(SmtpPassword::Place place, const QString &note = QString())
{
    switch (place) {
    case SmtpPassword::Place::SecretStore:
        return QObject::tr("The password is kept in the desktop's secret store.");
    case SmtpPassword::Place::SettingsFile:
        return QObject::tr("There is no secret store on this desktop%1: the password is kept in the settings file, "
                           "readable only by you.")
            .arg(note.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(note));
    case SmtpPassword::Place::Nowhere:
        break;
    }
    return QObject::tr("A password is kept in the desktop's secret store where there is one.");
}

} // namespace

QLineEdit *AlertsPage::textField(const QString &key, const QString &tip, const QString &placeholder)
{
    auto *field = new QLineEdit(SettingsStore::instance().read(key, QString()), this);
    field->setObjectName(key);
    field->setToolTip(tip);
    field->setPlaceholderText(placeholder);
    connect(field, &QLineEdit::textEdited, this, [key](const QString &text) { SettingsStore::instance().write(key, text); });
    return field;
}

AlertsPage::AlertsPage(QWidget *parent)
    : QWidget(parent), m_password(new QLineEdit(this)), m_security(new QComboBox(this)),
      m_lostAfterRuns(new QSpinBox(this)),
      m_notify(new QCheckBox(tr("Show a desktop notification"), this)), m_passwordPlace(new QLabel(this)),
      m_test(new QPushButton(tr("Send test alert"), this)), m_result(new QLabel(this)), m_worker(new AlertWorker(this))
{
    setObjectName(QStringLiteral("pageAlerts"));
    auto *intro = new QLabel(tr("After a scan whose history shows changes (links lost, possibly lost or found, moved, "
                                "their notes or words changed, partners that could not be checked), and only then, an alert "
                                "goes to each place set up below: from the window and from scheduled scans. A "
                                "delivery that fails is tried three more times, then listed with the scan's errors."),
                             this);
    intro->setWordWrap(true);

    // One look that misses a link may be a page served in a hurry: the user
    // says how many checks in a row it takes to call the link lost.
    auto *history = new QGroupBox(tr("History:"), this);
    auto *lostRow = new QHBoxLayout(history);
    lostRow->addWidget(new QLabel(tr("Count a link as lost after"), history));
    m_lostAfterRuns->setObjectName(Keys::LostAfterRuns);
    m_lostAfterRuns->setRange(1, kMaxLostAfterRuns);
    m_lostAfterRuns->setValue(
        SettingsStore::instance().readIntClamped(Keys::LostAfterRuns, kDefaultLostAfterRuns, 1, kMaxLostAfterRuns));
    m_lostAfterRuns->setToolTip(tr("Until then a link not found is \"Possibly lost\". A page that could not be read "
                                   "does not count: it is \"Not checked\"."));
    lostRow->addWidget(m_lostAfterRuns);
    lostRow->addWidget(new QLabel(tr("checks in a row without it"), history));
    lostRow->addStretch(1);

    auto *webhook = new QGroupBox(tr("Webhook:"), this);
    auto *webhookForm = new QFormLayout(webhook);
    webhookForm->addRow(tr("URL:"), textField(Keys::AlertWebhook, tr("Receives one POST of JSON: the project, the "
                                                                     "run, the counts and the changes"),
                                              QStringLiteral("https://")));

    auto *mail = new QGroupBox(tr("E-mail:"), this);
    auto *mailForm = new QFormLayout(mail);
    mailForm->addRow(tr("To:"), textField(Keys::AlertMailTo, tr("One or more addresses, separated by commas"),
                                          QStringLiteral("me@example.com")));
    mailForm->addRow(tr("From:"), textField(Keys::AlertMailFrom, tr("The sender; empty for the SMTP user when it is "
                                                                    "an address")));
    mailForm->addRow(tr("SMTP server:"), textField(Keys::SmtpServer, tr("host:port of the server that sends the mail"),
                                                   QStringLiteral("smtp.example.com:587")));
    m_security->setObjectName(Keys::SmtpSecurity);
    m_security->addItems({tr("STARTTLS"), tr("TLS"), tr("None (unencrypted)")});
    const QString security = SettingsStore::instance().read(Keys::SmtpSecurity, QStringLiteral("starttls")).trimmed().toLower();
    for (int i = 0; i < 3; ++i)
        if (security == QLatin1String(kSecurityValues[i]))
            m_security->setCurrentIndex(i);
    mailForm->addRow(tr("Security:"), m_security);
    mailForm->addRow(tr("User:"), textField(Keys::SmtpUser, tr("Empty for a server that needs no login")));
    m_password->setObjectName(Keys::SmtpPassword);
    m_password->setEchoMode(QLineEdit::Password);
    mailForm->addRow(tr("Password:"), m_password);
    m_passwordPlace->setWordWrap(true);
    m_passwordPlace->setObjectName(QStringLiteral("lblPasswordPlace"));
    mailForm->addRow(QString(), m_passwordPlace);

    auto *desktop = new QGroupBox(tr("Desktop:"), this);
    m_notify->setObjectName(Keys::AlertNotify);
    m_notify->setChecked(SettingsStore::instance().readFlag(Keys::AlertNotify, true));
    (new QVBoxLayout(desktop))->addWidget(m_notify);

    m_test->setObjectName(QStringLiteral("cmdTestAlert"));
    m_test->setToolTip(tr("Send a made-up lost link through every alert set up above"));
    m_result->setObjectName(QStringLiteral("lblTestAlert"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(m_test, 0, Qt::AlignTop);
    testRow->addWidget(m_result, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(history);
    layout->addWidget(webhook);
    layout->addWidget(mail);
    layout->addWidget(desktop);
    layout->addLayout(testRow);
    layout->addStretch(1);

    connect(m_lostAfterRuns, &QSpinBox::valueChanged, this, [](int n) {
        SettingsStore::instance().write(Keys::LostAfterRuns, QString::number(n));
    });
    connect(m_security, &QComboBox::activated, this, [](int index) {
        SettingsStore::instance().write(Keys::SmtpSecurity, QLatin1String(kSecurityValues[qBound(0, index, 2)]));
    });
    connect(m_notify, &QCheckBox::toggled, this, [](bool on) {
        SettingsStore::instance().write(Keys::AlertNotify, on ? QStringLiteral("1") : QStringLiteral("0"));
    });
    connect(m_password, &QLineEdit::textEdited, this, [this] { m_passwordEdited = true; });
    connect(m_password, &QLineEdit::editingFinished, this, &AlertsPage::commitPassword);
    connect(m_test, &QPushButton::clicked, this, &AlertsPage::sendTestAlert);
    connect(m_worker, &AlertWorker::finished, this, [this](const AlertOutcome &outcome) {
        QStringList lines = outcome.report;
        if (outcome.nothingToSend)
            lines << tr("Nothing to send: set a webhook URL, an e-mail address or the desktop notification.");
        m_result->setText(lines.join(QLatin1Char('\n')));
        m_test->setEnabled(true);
        emit testAlertFinished();
    });
    showPasswordPlace();
}

void AlertsPage::showPasswordPlace()
{
    const SmtpPassword::Place place = SmtpPassword::whereKept();
    m_password->setPlaceholderText(place == SmtpPassword::Place::Nowhere ? QString() : tr("(stored)"));
    m_passwordPlace->setText(placeText(place));
}

void AlertsPage::commitPassword()
{
    if (!m_passwordEdited)
        return;
    m_passwordEdited = false;
    const SmtpPassword::Saved saved = SmtpPassword::save(m_password->text());
    m_password->clear();
    m_password->setPlaceholderText(saved.place == SmtpPassword::Place::Nowhere ? QString() : tr("(stored)"));
    m_passwordPlace->setText(placeText(saved.place, saved.note));
}

void AlertsPage::sendTestAlert()
{
    if (isSending())
        return;
    commitPassword();
    m_test->setEnabled(false);
    m_result->setText(tr("Sending..."));
    // One try each: the answer is what the user waits for.
    DeliveryPolicy once;
    once.retries = 0;
    m_worker->send(AlertMessage::testAlert(m_projectPath), AlertSettings::fromSettings(), once);
}

bool AlertsPage::isSending() const
{
    return m_worker->isBusy();
}

QString AlertsPage::resultText() const
{
    return m_result->text();
}
