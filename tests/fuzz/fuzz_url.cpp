// Every URL text rule on any text: no crash, no endless loop, and a host never
// holds a "/".
#include "url/UrlText.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), int(size));
    // The first line is the target, the rest the current page.
    const int nl = text.indexOf(QLatin1Char('\n'));
    const QString target = nl >= 0 ? text.left(nl) : text;
    const QString page = nl >= 0 ? text.mid(nl + 1) : QString();

    QString a = text;
    stripSchemes(a);
    QString b = text;
    normaliseMainSite(b);
    QString c = text;
    if (hostOf(c).contains(QLatin1Char('/')))
        std::abort();
    backDir(text);
    const RequestTarget r = splitRequestTarget(page);
    if (r.host.contains(QLatin1Char('/')) || !r.path.startsWith(QLatin1Char('/')))
        std::abort();
    QString t = target;
    resolvePageLink(t, r.host, r.strCurDir);
    QString e = text;
    urlEncode(e);
    return 0;
}
