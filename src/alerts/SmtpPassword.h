#pragma once

#include <QString>

struct AlertSettings;

// Where the SMTP password is kept. In the desktop's secret store where there
// is one, so the settings file never holds it; where there is none (a server
// without a desktop), in the settings file under SmtpPassword, which is then
// made readable by its owner only. A SmtpPassword in the settings file (or
// given with --set) is used before the secret store.
namespace SmtpPassword {

enum class Place { SecretStore, SettingsFile, Nowhere };

struct Saved
{
    Place place = Place::Nowhere;
    QString note;   // why the secret store was not used, for the Alerts page
};

// Keeps the password ("" removes it from both places).
Saved save(const QString &password);

// Puts the stored password into the settings when they have none of their
// own. False, with the reason, when the secret store could not be read.
bool fillIn(AlertSettings *settings, QString *error);

// Where the current password is: the settings file, the secret store, nowhere.
Place whereKept();

} // namespace SmtpPassword
