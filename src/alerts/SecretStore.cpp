#include "alerts/SecretStore.h"

#include "alerts/DesktopNotifier.h"

// GLib names a struct member "signals", which Qt defines as a keyword; this
// file declares no signals.
#undef signals
#include <libsecret/secret.h>

namespace {

const SecretSchema *schema()
{
    static const SecretSchema s = {
        "example.quillmarsh.Reciplex.Setting",
        SECRET_SCHEMA_NONE,
        {{"setting", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return &s;
}

// Takes the GError's message and frees it.
QString takeMessage(GError *error)
{
    const QString text = QString::fromUtf8(error->message);
    g_error_free(error);
    return text;
}

} // namespace

namespace SecretStore {

bool available(QString *why)
{
    // libsecret would otherwise try to start a bus of its own.
    if (!sessionBusExists()) {
        if (why)
            *why = QStringLiteral("no session bus");
        return false;
    }
    bool found = false;
    QString error;
    lookup(QStringLiteral("example.quillmarsh.Reciplex.probe"), &found, &error);
    if (why)
        *why = error;
    return error.isEmpty();
}

bool store(const QString &setting, const QString &secret, QString *error)
{
    if (!sessionBusExists()) {
        *error = QStringLiteral("no session bus");
        return false;
    }
    GError *failure = nullptr;
    const QByteArray label = QStringLiteral("Reciplex: %1").arg(setting).toUtf8();
    const QByteArray value = secret.toUtf8();
    const QByteArray key = setting.toUtf8();
    const gboolean ok = secret_password_store_sync(schema(), SECRET_COLLECTION_DEFAULT, label.constData(),
                                                   value.constData(), nullptr, &failure, "setting", key.constData(),
                                                   nullptr);
    if (failure) {
        *error = takeMessage(failure);
        return false;
    }
    return ok;
}

QString lookup(const QString &setting, bool *found, QString *error)
{
    *found = false;
    if (!sessionBusExists()) {
        *error = QStringLiteral("no session bus");
        return QString();
    }
    GError *failure = nullptr;
    const QByteArray key = setting.toUtf8();
    gchar *value = secret_password_lookup_sync(schema(), nullptr, &failure, "setting", key.constData(), nullptr);
    if (failure) {
        *error = takeMessage(failure);
        return QString();
    }
    if (!value)
        return QString();
    *found = true;
    const QString text = QString::fromUtf8(value);
    secret_password_free(value);
    return text;
}

bool remove(const QString &setting, QString *error)
{
    if (!sessionBusExists()) {
        *error = QStringLiteral("no session bus");
        return false;
    }
    GError *failure = nullptr;
    const QByteArray key = setting.toUtf8();
    secret_password_clear_sync(schema(), nullptr, &failure, "setting", key.constData(), nullptr);
    if (failure) {
        *error = takeMessage(failure);
        return false;
    }
    return true;
}

} // namespace SecretStore
