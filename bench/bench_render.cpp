// Page rendering through reciplex-render: a page whose script draws 1,000
// anchors, served on loopback, rendered N times (default 40) with at most two
// pages at once, first for the anchors alone and then with a proof picture
// each. Prints pages per second (the helper already running), the time the
// helper takes to start and answer its first page, and the peak memory of
// the helper's whole process tree (proportional set size, so pages shared
// between its processes count once) and of the helper process alone.
//   bench_render [N] [path of reciplex-render, default: beside this program's build]
#include "net/PageRenderer.h"
#include "net/ProcessTree.h"
#include "support/RecordingHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

const QByteArray kPage =
    "<html><head><title>Partners</title></head><body><h1>Our partners</h1><ul id=list></ul><script>"
    "var list = document.getElementById('list');"
    "for (var i = 0; i < 1000; ++i) {"
    "  var li = document.createElement('li'), a = document.createElement('a');"
    "  a.href = i === 700 ? 'http://www.mysite.com/' : 'http://partner' + i + '.example/page' + i + '.html';"
    "  a.textContent = i === 700 ? 'My Site' : 'Partner number ' + i;"
    "  li.appendChild(a); list.appendChild(li);"
    "}</script></body></html>";

struct Peak
{
    qint64 tree = 0;
    qint64 helper = 0;
};

// Renders count pages (with pictures in proofFolder when it is set) and
// returns the seconds it took; the peak memory is sampled meanwhile.
double renderAll(PageRenderer &renderer, const QString &url, int count, const QString &proofFolder, Peak &peak,
                 int &failures)
{
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const qint64 pid = renderer.helperProcessId();
        peak.tree = qMax(peak.tree, ProcessTree::treeBytes(pid));
        peak.helper = qMax(peak.helper, pid > 1 ? ProcessTree::residentBytes(pid) : 0);
    });
    sampler.start(100);
    int answered = 0;
    const QMetaObject::Connection counting = QObject::connect(&renderer, &PageRenderer::finished, [&](const RenderResult &r) {
        ++answered;
        if (!r.ok || r.anchors.size() != 1000 || (!proofFolder.isEmpty() && r.proofOutlined != 1)) {
            ++failures;
            std::fprintf(stderr, "render failed or incomplete: %s (%lld anchors, proof: %s)\n", qPrintable(r.reason),
                         qlonglong(r.anchors.size()), qPrintable(r.proofProblem));
        }
    });
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        RenderRequest request;
        request.url = url;
        if (!proofFolder.isEmpty()) {
            request.proofPath = QStringLiteral("%1/mysite.com/partner%2.png").arg(proofFolder).arg(i);
            request.proofTargets = {QStringLiteral("mysite.com")};
        }
        renderer.render(request);
    }
    while (answered < count)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QObject::disconnect(counting);
    return clock.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? qMax(1, atoi(argv[1])) : 40;
    const QString program = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                     : QCoreApplication::applicationDirPath() + QStringLiteral("/../reciplex-render");
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "no reciplex-render at %s: build it first, or name it\n", qPrintable(program));
        return 2;
    }
    RecordingHttpServer server;
    if (!server.listen())
        return 2;
    server.setResponder([](const RecordingHttpServer::Request &) {
        RecordingHttpServer::Response r;
        r.headers << qMakePair(QByteArray("Content-Type"), QByteArray("text/html"));
        r.body = kPage;
        return r;
    });
    const QString url = server.baseUrl() + QStringLiteral("/partners.html");

    PageRenderer renderer;
    renderer.setHelperProgram(QFileInfo(program).absoluteFilePath());
    Peak peak;
    int failures = 0;
    const double first = renderAll(renderer, url, 1, QString(), peak, failures);
    const double plain = renderAll(renderer, url, count, QString(), peak, failures);
    QTemporaryDir proofs;
    const double withProof = renderAll(renderer, url, count, proofs.path(), peak, failures);

    std::printf("page: 1,000 anchors drawn by a script; %d renders each, at most 2 at once\n", count);
    std::printf("helper start and first page: %.2f s\n", first);
    std::printf("anchors only:     %.2f pages/s (%.0f ms a page)\n", count / plain, plain * 1000 / count);
    std::printf("with proof PNG:   %.2f pages/s (%.0f ms a page)\n", count / withProof, withProof * 1000 / count);
    std::printf("peak memory: helper process tree %.0f MiB (PSS), helper process alone %.0f MiB (RSS)\n",
                peak.tree / 1048576.0, peak.helper / 1048576.0);
    if (failures)
        std::printf("%d renders failed\n", failures);
    return failures ? 1 : 0;
}
