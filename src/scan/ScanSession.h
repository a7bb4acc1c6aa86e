#pragma once

#include "scan/PageQueue.h"

#include <QSet>
#include <QString>
#include <QStringList>

// The state of the one running scan. Per-site fields are reset when a site
// finishes; everything is reset when a scan starts.
struct ScanSession
{
    bool bScanning = false;
    int iScanType = 0;
    int iCurrentSite = 0;        // 1-based position in the current Main Site's Linking Sites
    QString strMainSite;         // the current Main Site, normalised
    QString strLinkingSite;      // the current Linking Site as read from its row
    qint64 iLinksExpected = 0;
    qint64 iLinksFound = 0;
    qint64 iLinkNumber = 0;
    qint64 lPagesStarted = 0;
    qint64 lPagesFound = 0;
    // The pages queued for the current site, by case-folded text: the
    // seen-page test only asks whether a URL is among them.
    QSet<QString> foundPages;
    bool bLinkFound = false;
    bool bMentionSeen = false;
    QString strMentionPage;
    QString strSiteNote;
    bool bSkipClicked = false;
    bool bEmulate = false;
    int timeOut = 60;
    QStringList fileTypes;
    PageQueue queue;
    // Changes whenever a site is finished: the rest of a page analysed for a
    // finished site must not count for the next one.
    quint64 generation = 0;

    void resetForScan();
    void resetForSite();   // the per-site part of recording a site's outcome
};

// The number of links expected from a Linking Site's "#" text: an optional
// sign and decimal digits, surrounding spaces allowed, within 32 bits;
// anything else counts as 1.
qint64 linksExpectedFromText(const QString &text);

// The "No." column of a row and the count of a "Missing" row: at least three
// digits with zeros in front.
QString threeDigits(qint64 n);
