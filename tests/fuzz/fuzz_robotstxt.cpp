// robots.txt on any bytes: the first line is the path asked about, the rest
// the file. No crash, no hang, and a file's verdict never changes when it is
// read a second time.
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
    if (RobotsTxt::parse(file).allows(path) != allowed)
        std::abort();
    // The file's own path is always allowed, whatever the file.
    if (!robots.allows(QStringLiteral("/robots.txt")))
        std::abort();
    return 0;
}
