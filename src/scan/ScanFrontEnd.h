#pragma once

#include "model/ProjectTypes.h"

#include <QList>
#include <QPair>
#include <QString>

struct ScanStatistics
{
    qint64 mainSites = 0;      // "Main Sites Scanned:"
    qint64 linkingSites = 0;   // "Linking Sites Scanned:"
    qint64 pagesScanned = 0;   // "Pages Scanned:"
    qint64 pagesFound = 0;     // "Pages Found:"
    qint64 linksFound = 0;     // "Links Found:"
    qint64 allRunsPagesScanned = 0; // kept in the settings only
    qint64 allRunsLinksFound = 0;
};

// One Linking Site done with, as the scan committed it: everything a record
// of the run needs to know the partner again next time and to tell a link
// that is gone from a page that could not be read.
struct SiteConclusion
{
    int mainPos = -1;           // where the Linking Site is listed
    int row = -1;
    QString mainSiteUrl;        // the Main Site as listed
    QString mainSite;           // normalised, as the rows carry it
    QString linkingSiteUrl;     // the Linking Site's URL as the scan began it
    QString updatedUrl;         // the URL chkUpdate replaced it with, or ""
    QString host;               // as the rows carry it (remoteSite)
    QString outcome;            // "Direct Link", "Missing 001", "None Found (Timeout)"; "" when stopped
    // Its start page was read: an answer the site can be judged by (a 404
    // is one; a time-out, a refusal, a 5xx, 401, 403, a certificate error,
    // a Skip or a Stop are not).
    bool checked = false;
    QString reason;             // the text in parentheses of a "None Found" row, or ""
    bool skipped = false;
    bool stopped = false;       // the scan was stopped while the site was under way
    QList<LinkResult> rows;     // its result rows, in order
    QList<ErrorEntry> errors;   // its errors rows, in order
};

// The one boundary between the scan engine and a front end (the window or the
// headless scanner). The engine never touches a widget: it tells the front end
// what to show and asks it what it needs through this interface. Every member
// has a harmless default so a front end overrides only what it shows.
class ScanFrontEnd
{
public:
    enum class Entry { MainSite, LinkingSite };      // txtDomain, Text1
    enum class Controls { Scanning, NextSite, Idle }; // command states around a scan

    virtual ~ScanFrontEnd() = default;

    // --- what to show ---
    virtual void setStatusText(int panel, const QString &text) { (void)panel; (void)text; } // panels 1..4
    virtual void setProgress(int percent) { (void)percent; }  // 0..100
    virtual void setProgressToMaximum() {}
    virtual void setControls(Controls state) { (void)state; }
    virtual void selectMainSite(int mainPos) { (void)mainPos; }              // and show its Linking Sites
    virtual void selectLinkingSite(int mainPos, int row) { (void)mainPos; (void)row; }
    virtual void statisticsChanged(const ScanStatistics &stats) { (void)stats; }
    virtual void queueAppended(const QString &url) { (void)url; }   // "Webpages Queued:"
    virtual void queuePopped() {}
    virtual void queueCleared() {}
    virtual void showMessage(const QString &text) { (void)text; }   // one OK button
    virtual void focusEntry(Entry entry) { (void)entry; }
    // A Linking Site is done: its Main Site, its host and the outcome in words
    // ("Direct Link", "Missing 001", "None Found (Timeout)", …).
    virtual void linkingSiteFinished(const QString &mainSite, const QString &host, const QString &outcome)
    {
        (void)mainSite; (void)host; (void)outcome;
    }
    // The same site in full, right after linkingSiteFinished; also for the
    // site a Stop ended (stopped, not checked, no outcome).
    virtual void linkingSiteConcluded(const SiteConclusion &site) { (void)site; }
    // The Linking Sites under way when several run at once, as (Main Site, row).
    virtual void sitesInFlight(const QList<QPair<int, int>> &sites) { (void)sites; }
    // The scan has stopped: the window rebuilds its report here.
    virtual void scanStopped() {}

    // --- what the engine asks ---
    virtual int selectedMainSite() const { return -1; }           // the Main Sites list's selection
    virtual int firstSelectedLinkingSite() const { return -1; }   // in list order, of the selected Main Site
};
