#include "settings/SettingsStore.h"

#include <QSettings>

static const char kOrganisation[] = "Reciplex";
static const char kApplication[] = "Reciplex";
static const char kGroup[] = "Settings";

SettingsStore &SettingsStore::instance()
{
    static SettingsStore store;
    return store;
}

SettingsStore::SettingsStore()
{
    reload();
}

SettingsStore::~SettingsStore()
{
    if (m_settings)
        m_settings->sync();
    delete m_settings;
}

QSettings *SettingsStore::settings() const
{
    if (!m_settings)
        m_settings = new QSettings(QSettings::IniFormat, QSettings::UserScope, kOrganisation, kApplication);
    return m_settings;
}

void SettingsStore::reload()
{
    if (m_settings) {
        m_settings->sync();
        delete m_settings;
        m_settings = nullptr;
    }
    m_values.clear();
    m_spelling.clear();
    QSettings *s = settings();
    s->beginGroup(kGroup);
    const QStringList keys = s->childKeys();
    for (const QString &k : keys) {
        const QString lower = k.toLower();
        if (m_spelling.contains(lower))
            continue; // the first spelling found wins, as the first match does
        m_spelling.insert(lower, k);
        m_values.insert(lower, s->value(k).toString());
    }
    s->endGroup();
}

void SettingsStore::sync()
{
    if (m_settings)
        m_settings->sync();
}

QString SettingsStore::storedKey(const QString &key) const
{
    return m_spelling.value(key.toLower(), key);
}

QString SettingsStore::read(const QString &key, const QString &defaultValue) const
{
    const QString lower = key.toLower();
    auto o = m_overrides.constFind(lower);
    if (o != m_overrides.constEnd())
        return *o;
    auto it = m_values.constFind(lower);
    return it == m_values.constEnd() ? defaultValue : *it;
}

void SettingsStore::write(const QString &key, const QString &value)
{
    const QString lower = key.toLower();
    auto o = m_overrides.find(lower);
    if (o != m_overrides.end()) {
        *o = value;
        return;
    }
    if (!m_spelling.contains(lower))
        m_spelling.insert(lower, key);
    m_values.insert(lower, value);
    QSettings *s = settings();
    s->beginGroup(kGroup);
    s->setValue(storedKey(key), value);
    s->endGroup();
}

int SettingsStore::readInt(const QString &key, int defaultValue) const
{
    bool ok = false;
    const int v = read(key, QString::number(defaultValue)).trimmed().toInt(&ok);
    return ok ? v : defaultValue;
}

int SettingsStore::readInt(const QString &key, int defaultValue, int min, int max) const
{
    const int v = readInt(key, defaultValue);
    return v >= min && v <= max ? v : defaultValue;
}

int SettingsStore::readIntClamped(const QString &key, int defaultValue, int min, int max) const
{
    bool ok = false;
    const qint64 v = read(key, QString::number(defaultValue)).trimmed().toLongLong(&ok);
    return ok ? int(qBound(qint64(min), v, qint64(max))) : defaultValue;
}

qint64 SettingsStore::readInt64(const QString &key, qint64 defaultValue) const
{
    bool ok = false;
    const qint64 v = read(key, QString::number(defaultValue)).trimmed().toLongLong(&ok);
    return ok ? v : defaultValue;
}

bool SettingsStore::readFlag(const QString &key, bool defaultValue) const
{
    const QString v = read(key, defaultValue ? QStringLiteral("1") : QStringLiteral("0")).trimmed();
    if (v == QLatin1String("1"))
        return true;
    if (v == QLatin1String("0"))
        return false;
    return defaultValue;
}

void SettingsStore::setOverride(const QString &key, const QString &value)
{
    m_overrides.insert(key.toLower(), value);
}

void SettingsStore::clearOverrides()
{
    m_overrides.clear();
}

bool SettingsStore::writeMachineWide(const QString &company, const QString &key, const QString &value)
{
    QSettings machine(QSettings::IniFormat, QSettings::SystemScope, company, kApplication);
    if (!machine.isWritable())
        return false;
    machine.beginGroup(kGroup);
    machine.setValue(key, value);
    machine.endGroup();
    machine.sync();
    return machine.status() == QSettings::NoError;
}

void SettingsStore::useLocation(const QString &folder)
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder + QStringLiteral("/user"));
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, folder + QStringLiteral("/system"));
    instance().clearOverrides();
    instance().reload();
}
