#pragma once

#include "model/ProjectTypes.h"

#include <QList>
#include <QString>

class Project;

// What became of each Linking Site of a headless scan, in scan order: the
// result rows and page errors the engine added while that site was current.
class ScanJournal
{
public:
    struct Site
    {
        QString mainSite;     // as the result rows give it
        QString url;          // the Linking Site as scanned
        QString updatedUrl;   // the URL the scan put in its place, or empty
        QString host;
        QString status;       // how the site ended: "Direct Link", "Missing 002", "None Found (Timeout)", ...
        bool linked = false;  // ended with neither "None Found" nor "Missing"
        QList<LinkResult> rows;
        QList<ErrorEntry> errors;
    };

    explicit ScanJournal(const Project &project) : m_project(project) {}

    void siteStarted(int mainPos, int row);
    void siteFinished(const QString &mainSite, const QString &host, const QString &outcome);

    const QList<Site> &sites() const { return m_sites; }

    // "None Found" and "Missing" are the outcomes of a site without its links.
    static bool isWithoutLink(const QString &outcome);

private:
    const Project &m_project;
    QList<Site> m_sites;
    int m_mainPos = -1;
    int m_row = -1;
    QString m_url;
    qsizetype m_firstResult = 0;
    qsizetype m_firstError = 0;
};
