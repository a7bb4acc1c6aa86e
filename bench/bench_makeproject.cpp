// Writes a project file with one Main Site and one Linking Site, for the scan
// benchmark script: bench_makeproject FILE MAIN_SITE LINKING_SITE
#include "model/Project.h"
#include "model/ProjectFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: bench_makeproject FILE MAIN_SITE LINKING_SITE\n");
        return 2;
    }
    Project project;
    const int main = project.addMainSite(args.at(2));
    project.addLinkingSite(main, args.at(3));
    QString error;
    if (!ProjectFile::write(project, args.at(1), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
