#pragma once

#include <QString>
#include <QTemporaryDir>

// Isolates a test: its own settings location and its own program folder, both
// in a fresh temporary folder. The real user's settings are never touched.
class TestEnv
{
public:
    TestEnv();
    QString programFolder() const;
    QString settingsFolder() const;
    QString path(const QString &name) const; // a file in the program folder
    // Puts the project's sounds/ (and other files) into the program folder.
    void writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
};
