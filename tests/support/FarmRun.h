#pragma once

#include "support/SiteFarmServer.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// Everything one scan of a farm project leaves behind, by name, with what
// differs by nature between runs (clock times, the SitesAtOnce override
// itself) taken out.
using RunFiles = QMap<QString, QByteArray>;

// One scan of a project by the built reciplex-scan in a folder of its own
// (settings and program folder), against a site farm answering in this
// process: started, then finished with its files. RECIPLEX_SCAN_WRAPPER in
// the environment runs the scanner under a checker (valgrind).
class FarmRun : public QObject
{
    Q_OBJECT
public:
    struct Setup
    {
        QString project;
        QString folder;      // created; holds program/, config/ and the outputs
        quint16 port = 0;
        quint16 tlsPort = 0; // 0: none
        int sitesAtOnce = 1;
        QStringList settings; // more KEY=VALUE for --set
        int limitMs = 120000; // a scan still running then is killed
    };

    explicit FarmRun(const Setup &setup, QObject *parent = nullptr);
    void start();
    const RunFiles &files() const { return m_files; }
    qint64 elapsedMs() const { return m_elapsedMs; }

    // Runs one scan to its end, the event loop running meanwhile.
    static RunFiles scan(const Setup &setup);

signals:
    void finished();

private:
    void collect();

    Setup m_setup;
    QProcess m_process;
    RunFiles m_files;
    qint64 m_startedMs = 0;
    qint64 m_elapsedMs = 0;
};

// The project file of a farm layout; with previousResults, RESULT lines of
// an earlier scan (a scan empties them first).
void writeFarmProject(const SiteFarmServer::Layout &layout, const QString &file, bool previousResults = false);
int farmSiteCount(const SiteFarmServer::Layout &layout);
// A Linking Site row of the URL, one link expected.
LinkingSite farmSite(const QString &url);
// "file, line N: 'a' against 'b'" for the first line that differs, or "".
QString firstDifference(const RunFiles &one, const RunFiles &other);
