#pragma once

#include <QHash>
#include <QString>

class QSettings;

// The per-user key/value store of every option. Values are text; keys match
// without regard to letter case (QSettings itself is case-sensitive on Linux,
// so the store remembers the spelling each key was first stored under).
// One instance serves the whole process, so a value written by one window is
// what the next reader sees.
class SettingsStore
{
public:
    static SettingsStore &instance();

    QString read(const QString &key, const QString &defaultValue) const;
    void write(const QString &key, const QString &value);

    // Readers of numbers and flags: a stored text that does not convert gives
    // the default instead of garbage.
    int readInt(const QString &key, int defaultValue) const;
    // The same for a number with a range of its own (an index into a list, a
    // 16-bit count): a value outside [min, max] gives the default too.
    int readInt(const QString &key, int defaultValue, int min, int max) const;
    // A number outside [min, max] gives the nearest bound instead.
    int readIntClamped(const QString &key, int defaultValue, int min, int max) const;
    qint64 readInt64(const QString &key, qint64 defaultValue) const;
    bool readFlag(const QString &key, bool defaultValue) const;

    // Values used for this run only (the headless scanner's --set): read()
    // returns them, write() to such a key changes only the override.
    void setOverride(const QString &key, const QString &value);
    void clearOverrides();

    // The machine-wide copy of a value. Returns false when the location cannot
    // be written.
    bool writeMachineWide(const QString &company, const QString &key, const QString &value);

    // Reload from disk (tests point the store at a new location).
    void reload();
    void sync();

    // Points the per-user and machine-wide locations at a folder: tests and
    // tools that must never touch the real user's settings.
    static void useLocation(const QString &folder);

private:
    SettingsStore();
    ~SettingsStore();
    QSettings *settings() const;
    QString storedKey(const QString &key) const;

    mutable QSettings *m_settings = nullptr;
    QHash<QString, QString> m_values;      // lower-case key -> value
    QHash<QString, QString> m_spelling;    // lower-case key -> key as stored
    QHash<QString, QString> m_overrides;   // lower-case key -> value
};
