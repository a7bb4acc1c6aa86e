#pragma once

#include "scan/ScanFrontEnd.h"

#include <QStringList>

#include <functional>

// A scan front end for tests: remembers what the engine showed and answers
// its questions with a fixed selection. A hook sees every status text, so a
// test can press Stop or Skip at an exact point of the scan, as a user's click
// arriving in the pending events would.
class RecordingFrontEnd : public ScanFrontEnd
{
public:
    struct Finished
    {
        QString mainSite, host, outcome;
    };

    void setStatusText(int panel, const QString &text) override
    {
        if (panel >= 1 && panel <= 4)
            panels[panel - 1] = text;
        statusLog << QStringLiteral("%1:%2").arg(panel).arg(text);
        if (onStatus)
            onStatus(panel, text);
    }
    void showMessage(const QString &text) override { messages << text; }
    void focusEntry(Entry entry) override { focused = entry == Entry::MainSite ? 1 : 2; }
    void linkingSiteFinished(const QString &mainSite, const QString &host, const QString &outcome) override
    {
        finished.append({mainSite, host, outcome});
        if (onFinished)
            onFinished();
    }
    void linkingSiteConcluded(const SiteConclusion &site) override { conclusions.append(site); }
    void scanStopped() override { ++stops; }
    void selectLinkingSite(int mainPos, int row) override { selections << QStringLiteral("%1/%2").arg(mainPos).arg(row); }
    void statisticsChanged(const ScanStatistics &s) override { stats = s; }
    int selectedMainSite() const override { return mainSelection; }
    int firstSelectedLinkingSite() const override { return linkingSelection; }

    int mainSelection = -1;
    int linkingSelection = -1;
    QString panels[4];
    QStringList statusLog;
    QStringList messages;
    QStringList selections; // "main/row" in the order the engine selected them
    QList<Finished> finished;
    QList<SiteConclusion> conclusions;
    ScanStatistics stats;
    int focused = 0;
    int stops = 0;
    std::function<void(int, const QString &)> onStatus;
    std::function<void()> onFinished;
};
