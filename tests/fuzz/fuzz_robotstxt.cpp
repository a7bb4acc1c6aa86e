// robots.txt on any bytes: the first line is the path asked about, the rest
// the file. No crash, no hang, and a file's verdicts (for all crawlers and
// for Googlebot) never change when it is read a second time.
#include "scan/RobotsTxt.h"

#include <QByteArray>
#include <QString>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype lineEnd = input.indexOf('\n');
    const QString path = QString::fromLatin1(lineEnd < 0 ? input : input.left(lineEnd));
    const QByteArray file = lineEnd < 0 ? QByteArray() : input.mid(lineEnd + 1);
    const RobotsTxt robots = RobotsTxt::parse(file);
    const bool allowed = robots.allows(path);
    const bool allowedGooglebot = robots.allowsGooglebot(path);
    const RobotsTxt again = RobotsTxt::parse(file);
    if (again.allows(path) != allowed || again.allowsGooglebot(path) != allowedGooglebot)
        std::abort();
    // The file's own path is always allowed, whatever the file.
    if (!robots.allows(QStringLiteral("/robots.txt")) || !robots.allowsGooglebot(QStringLiteral("/robots.txt")))
        std::abort();
    return 0;
}
