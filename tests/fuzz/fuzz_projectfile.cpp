// Reads any bytes as a project file, writes the project and reads it again:
// the second read must equal the first, and nothing may crash.
#include "model/Project.h"
#include "model/ProjectFile.h"

#include <QCoreApplication>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    Project first;
    ProjectFile::readText(first, bytes);
    // An empty script URL is not written, so it reads back as "http://".
    if (first.scriptUrl().isEmpty())
        first.setScriptUrl(QStringLiteral("http://"));
    const QByteArray written = ProjectFile::serialise(first);
    Project second;
    const ProjectFile::ReadResult r = ProjectFile::readText(second, written);
    // What was written reads back whole, as the same project.
    if (!r.complete || ProjectFile::serialise(second) != written
        || second.mainSiteCount() != first.mainSiteCount() || second.results().size() != first.results().size())
        std::abort();
    return 0;
}
