#pragma once

#include "scan/ScanFrontEnd.h"

#include <QObject>

class Project;

// The scan engine: walks the Main Sites and their Linking Sites, spiders each
// Linking Site breadth-first one page at a time on the Qt event loop, and
// records link rows, closing rows and page errors in the project.
// (Public surface first; the implementation owns the rest.)
class ScanEngine : public QObject
{
    Q_OBJECT
public:
    ScanEngine(Project &project, ScanFrontEnd &frontEnd, QObject *parent = nullptr);
    ~ScanEngine() override;

    void setPort(quint16 port);          // 80 unless a test serves elsewhere
    void setPageLimit(int pages);        // from cmbAdvance through the page-limit list
    int pageLimit() const;
    void setScanType(int type);          // the checked "Scan Type" item: 0, 1 or 2
    int scanType() const;
    void setSkipType(int type);          // 0 the current Linking Site, 1 the current Main Site
    int skipType() const;

    bool isScanning() const;
    const ScanStatistics &statistics() const;
    void resetStatistics();              // the current run's counters (start-up)

public slots:
    void startScan();
    void stopScan();
    void skipCurrent();
    void shutdown();                     // at exit: not running, every connection closed
};
