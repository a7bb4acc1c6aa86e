#pragma once

#include "model/Project.h"
#include "scan/ScanEngine.h"
#include "scan/ScanFrontEnd.h"
#include "scan/ScanPlan.h"

#include <QObject>
#include <QString>

class ScanCoordinator;

// One Linking Site scanned beside others: a scan engine of its own over a
// private copy of the site's Main Site, which records the site's rows,
// errors, URL update and counts for the coordinator to commit in order. The
// head site (the earliest unfinished one) shows its work in the front end.
class SiteWorker : public QObject, private ScanFrontEnd
{
    Q_OBJECT
public:
    SiteWorker(ScanCoordinator &coordinator, const Project &source, PlannedSite site, int cacheSlot);
    ~SiteWorker() override;

    void start();
    void skip();
    void stop();

    PlannedSite site() const { return m_site; }
    int cacheSlot() const { return m_cacheSlot; }
    bool hasStopped() const { return m_stopped; }
    bool outcomeRecorded() const { return m_outcomeRecorded; }
    const QString &outcome() const { return m_outcome; }
    const QString &outcomeMainSite() const { return m_outcomeMainSite; }
    const QString &outcomeHost() const { return m_outcomeHost; }
    Project &project() { return m_project; }
    ScanEngine &engine() { return m_engine; }
    QString hostKey() const { return m_hostKey; }

    // Sites of the same host take turns: the key leaves out case and "www.".
    static QString politeHostKey(const QString &url);

    // The head shows its status, progress and queue; the others keep quiet.
    void setHead(ScanFrontEnd *frontEnd);

private:
    // what the private engine shows and asks
    void setStatusText(int panel, const QString &text) override;
    void setProgress(int percent) override;
    void statisticsChanged(const ScanStatistics &stats) override;
    void queueAppended(const QString &url) override;
    void queuePopped() override;
    void queueCleared() override;
    void linkingSiteFinished(const QString &mainSite, const QString &host, const QString &outcome) override;
    void scanStopped() override;
    int selectedMainSite() const override { return 0; }
    int firstSelectedLinkingSite() const override { return 0; }

    ScanCoordinator &m_coordinator;
    PlannedSite m_site;
    int m_cacheSlot;
    Project m_project;
    ScanEngine m_engine;
    ScanFrontEnd *m_head = nullptr;
    QString m_hostKey;
    bool m_stopped = false;
    bool m_outcomeRecorded = false;
    QString m_outcome, m_outcomeMainSite, m_outcomeHost;
};
