#pragma once

#include <QString>

// The desktop's secret store (the freedesktop Secret Service: the desktop's
// keyring, a password manager that offers it) through libsecret. Entries
// are found by the name of the setting they stand for.
namespace SecretStore {

// Whether a secret store answers on the session bus.
bool available(QString *why = nullptr);

// Stores, replacing an earlier value. False with the reason when it could not.
bool store(const QString &setting, const QString &secret, QString *error);
// The stored value; "" when there is none. *found tells an empty value from none.
QString lookup(const QString &setting, bool *found, QString *error);
bool remove(const QString &setting, QString *error);

} // namespace SecretStore
