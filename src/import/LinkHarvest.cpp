#include "import/LinkHarvest.h"

#include "import/DelimitedList.h"
#include "import/LinkExtraction.h"
#include "net/WholePageDownload.h"

namespace {

bool g_running = false;

struct RunningGuard
{
    RunningGuard() { g_running = true; }
    ~RunningGuard() { g_running = false; }
};

} // namespace

bool harvestInProgress()
{
    return g_running;
}

HarvestResult getLinks(const HarvestRequest &request, const HarvestCallbacks &callbacks)
{
    HarvestResult result;
    if (g_running) {
        result.kind = HarvestResult::AlreadyRunning;
        return result;
    }
    RunningGuard guard;
    const auto status = [&](const QString &text) {
        if (callbacks.showStatus)
            callbacks.showStatus(text);
    };
    if (callbacks.clearRows)
        callbacks.clearRows();

    QString listText;
    if (request.mode == HarvestMode::Simple) {
        status(QStringLiteral("Conecting to ") + request.pageUrl);
        QString url = request.pageUrl;
        const QString page = downloadWholePage(url);
        listText = extractLinks(page, importBase(request.pageUrl),
                                [&](int kept) { status(extractedStatusText(kept)); });
    } else {
        if (!request.delimiter) {
            result.kind = HarvestResult::NeedDelimiter;
            return result;
        }
        status(QStringLiteral("Conecting to ") + request.listUrl);
        QString url = request.listUrl;
        listText = delimitedListText(downloadWholePage(url), *request.delimiter);
    }

    result.rows = splitImportList(listText);
    for (int k = 0; k < result.rows.size(); ++k) {
        if (callbacks.addRow)
            callbacks.addRow(result.rows.at(k));
        status(QStringLiteral("Added ") + QString::number(k + 1) + QStringLiteral(" link(s)"));
    }
    status(QStringLiteral("Finished Downloading - ") + QString::number(result.rows.size())
           + QStringLiteral(" links found."));
    return result;
}
