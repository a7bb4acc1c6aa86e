#include "support/TestEnv.h"

#include "settings/ProgramFolder.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestEnv::TestEnv()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("program"));
    QDir(m_dir.path()).mkpath(QStringLiteral("settings"));
    ProgramFolder::setPath(programFolder());
    // Nor the desktop's session bus: no notification pops up and no keyring
    // is asked on a developer's desktop. Tests that need a bus start their own.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", m_dir.path().toLocal8Bit());
    SettingsStore::useLocation(settingsFolder());
    // The scan tests run a second time with one Linking Site at a time.
    const QString atOnce = qEnvironmentVariable("RECIPLEX_TEST_SITES_AT_ONCE");
    if (!atOnce.isEmpty())
        SettingsStore::instance().write(Keys::SitesAtOnce, atOnce);
}

QString TestEnv::programFolder() const
{
    return m_dir.path() + QStringLiteral("/program");
}

QString TestEnv::settingsFolder() const
{
    return m_dir.path() + QStringLiteral("/settings");
}

QString TestEnv::path(const QString &name) const
{
    return programFolder() + QLatin1Char('/') + name;
}

void TestEnv::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString p = path(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TestEnv::readFile(const QString &name) const
{
    QFile f(path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
