#include "alerts/SmtpPassword.h"

#include "alerts/AlertSettings.h"
#include "alerts/SecretStore.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QFile>
#include <QSettings>

namespace {

// The settings file holds a password: nobody but its owner may read it.
void restrictSettingsFile()
{
    SettingsStore::instance().sync();
    const QString path = QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Reciplex"),
                                   QStringLiteral("Reciplex"))
                             .fileName();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace

namespace SmtpPassword {

Saved save(const QString &password)
{
    SettingsStore &store = SettingsStore::instance();
    Saved saved;
    QString error;
    if (password.isEmpty()) {
        store.write(Keys::SmtpPassword, QString());
        if (SecretStore::available())
            SecretStore::remove(Keys::SmtpPassword, &error);
        return saved;
    }
    if (SecretStore::available(&saved.note) && SecretStore::store(Keys::SmtpPassword, password, &saved.note)) {
        store.write(Keys::SmtpPassword, QString());
        store.sync();
        saved.place = Place::SecretStore;
        saved.note.clear();
        return saved;
    }
    store.write(Keys::SmtpPassword, password);
    restrictSettingsFile();
    saved.place = Place::SettingsFile;
    return saved;
}

bool fillIn(AlertSettings *settings, QString *error)
{
    if (!settings->smtp.password.isEmpty() || settings->smtp.user.isEmpty())
        return true;
    if (!SecretStore::available())
        return true; // no store: no password, and the server says whether it needs one
    bool found = false;
    const QString password = SecretStore::lookup(Keys::SmtpPassword, &found, error);
    if (!error->isEmpty())
        return false;
    settings->smtp.password = password;
    return true;
}

Place whereKept()
{
    if (!SettingsStore::instance().read(Keys::SmtpPassword, QString()).isEmpty())
        return Place::SettingsFile;
    bool found = false;
    QString error;
    if (SecretStore::available())
        SecretStore::lookup(Keys::SmtpPassword, &found, &error);
    return found ? Place::SecretStore : Place::Nowhere;
}

} // namespace SmtpPassword
