// Writes a project file with one Main Site and its Linking Sites, for the
// benchmark scripts: bench_makeproject FILE MAIN_SITE LINKING_SITE...
#include "model/Project.h"
#include "model/ProjectFile.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: bench_makeproject FILE MAIN_SITE LINKING_SITE...\n");
        return 2;
    }
    Project project;
    const int main = project.addMainSite(args.at(2));
    QList<LinkingSite> sites;
    for (qsizetype i = 3; i < args.size(); ++i) {
        LinkingSite site;
        site.url = args.at(i);
        sites.append(site);
    }
    project.appendLinkingSites(main, sites);
    QString error;
    if (!ProjectFile::write(project, args.at(1), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
