// Reads any bytes as a backlink export into a project of two Main Sites:
// nothing may crash, and every row is accounted for exactly once.
#include "import/BacklinkCsv.h"
#include "import/BacklinkImport.h"
#include "model/Project.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    Project project;
    const int mine = project.addMainSite(QStringLiteral("http://www.mysite.com/links.htm"));
    project.addMainSite(QStringLiteral("other.net"));
    const BacklinkImportResult result = importBacklinks(project, bytes, mine);
    if (!result.ok)
        return 0;
    int others = 0;
    for (int n : result.otherTargets)
        others += n;
    const qsizetype rows = BacklinkCsv::read(bytes).rows.size();
    if (result.added + result.duplicates + others + result.notPages + result.refused.size() != rows
        || project.linkingSiteTotal() != result.added)
        std::abort();
    return 0;
}
