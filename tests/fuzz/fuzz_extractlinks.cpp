// Link extraction from a links page on any text: no crash, no endless loop,
// and the result is empty or ends with ",". The first line is the links page
// URL as typed, the rest the page.
#include "import/LinkExtraction.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), int(size));
    const qsizetype nl = text.indexOf(QLatin1Char('\n'));
    const QString typed = nl >= 0 ? text.left(nl) : QString();
    const QString page = nl >= 0 ? text.mid(nl + 1) : text;

    const QString base = importBase(typed);
    int kept = 0;
    const QString links = extractLinks(page, base, [&](int count) { kept = count; });
    if (!links.isEmpty() && !links.endsWith(QLatin1Char(',')))
        std::abort();
    // Every kept link was reported, and nothing else is in the result.
    if (links.isEmpty() != (kept == 0) || links.count(QLatin1Char(',')) < kept)
        std::abort();
    return 0;
}
