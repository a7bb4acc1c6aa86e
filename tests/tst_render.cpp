#include "net/PageRenderer.h"
#include "net/ProcessTree.h"
#include "support/RecordingHttpServer.h"
#include "support/TestEnv.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// Pages rendered by reciplex-render through PageRenderer, served on loopback:
// what a script draws is found, and a page that never ends, grows without end
// or crashes its renderer fails in time while the other pages go on.
class TestRender : public QObject
{
    Q_OBJECT

    static QString helper() { return QStringLiteral(RECIPLEX_BUILD_DIR "/reciplex-render"); }

    RecordingHttpServer m_server;
    PageRenderer *m_renderer = nullptr;
    using Key = std::pair<const PageRenderer *, quint64>; // renderer and ticket
    QHash<Key, RenderResult> m_results;
    QHash<Key, int> m_answers;

    RenderRequest request(const QString &path, int timeoutMs = 5000) const
    {
        RenderRequest r;
        r.url = m_server.baseUrl() + path;
        r.timeoutMs = timeoutMs;
        return r;
    }

    // Waits for the ticket's one answer.
    RenderResult result(quint64 ticket, int withinMs, PageRenderer *renderer = nullptr)
    {
        const Key key(renderer ? renderer : m_renderer, ticket);
        if (!QTest::qWaitFor([&] { return m_results.contains(key); }, withinMs)) {
            RenderResult none;
            none.reason = QStringLiteral("(the test waited %1 ms in vain)").arg(withinMs);
            return none;
        }
        return m_results.value(key);
    }

    PageRenderer *makeRenderer(const QString &program)
    {
        auto *renderer = new PageRenderer(this);
        // A new renderer may take the address of one deleted before it.
        for (auto it = m_results.begin(); it != m_results.end();)
            it = it.key().first == renderer ? m_results.erase(it) : std::next(it);
        for (auto it = m_answers.begin(); it != m_answers.end();)
            it = it.key().first == renderer ? m_answers.erase(it) : std::next(it);
        renderer->setHelperProgram(program);
        RenderHelper::Limits limits;
        limits.pageMemoryMiB = 256;
        renderer->setLimits(limits);
        connect(renderer, &PageRenderer::finished, this, [this, renderer](const RenderResult &r) {
            const Key key(renderer, r.ticket);
            m_results.insert(key, r);
            ++m_answers[key];
        });
        return renderer;
    }

    static QString firstHref(const RenderResult &r) { return r.anchors.isEmpty() ? QString() : r.anchors.first().href; }

    // The processes the engine's zygotes forked below the helper: the renderers.
    static QList<qint64> renderers(qint64 helperPid)
    {
        QList<qint64> found;
        if (helperPid <= 1)
            return found;
        for (qint64 child : ProcessTree::descendants(helperPid))
            for (qint64 pid : ProcessTree::descendants(child))
                if (!found.contains(pid))
                    found << pid;
        return found;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_server.listen());
        const QByteArray insertLink =
            "<script>setTimeout(function () { var a = document.createElement('a'); a.href = 'http://www.mysite.com/';"
            " a.textContent = 'My Site'; document.getElementById('p').appendChild(a); }, 300);</script>";
        const QHash<QByteArray, QByteArray> pages{
            {"/script-link", "<html><body><div id=p></div>" + insertLink + "</body></html>"},
            {"/json-link", "<html><body><script>fetch('/links.json').then(function (r) { return r.json(); })"
                           ".then(function (l) { var a = document.createElement('a'); a.href = l.href;"
                           " a.textContent = l.text; document.body.appendChild(a); });</script></body></html>"},
            {"/links.json", "{\"href\": \"/partners\", \"text\": \"Partners\"}"},
            {"/hostile", "<html><body><a href='http://www.mysite.com/'>My Site</a><script>alert(1); confirm('?');"
                         " prompt('?'); window.open('/script-link'); Notification.requestPermission();"
                         " document.cookie = 'seen=1'; localStorage.setItem('seen', '1');"
                         " location.href = 'mailto:a@b.example';</script></body></html>"},
            {"/cookie-probe", "<html><body><a href='/x'>x</a><script>fetch('/probe?' + document.cookie +"
                              " (localStorage.getItem('seen') || ''));</script></body></html>"},
            {"/endless", "<html><body><a href='/x'>x</a><script>for (;;) {}</script></body></html>"},
            {"/allocates", "<html><body><a href='/x'>x</a><script>var keep = [];"
                           " for (;;) keep.push(new Array(1e6).fill(Math.random()));</script></body></html>"},
            {"/proof", "<html><body><a href='http://elsewhere.example/'>Elsewhere</a>"
                       "<div id=p style='margin-top: 2000px'></div>" + insertLink + "</body></html>"},
        };
        m_server.setResponder([pages](const RecordingHttpServer::Request &req) {
            RecordingHttpServer::Response r;
            const QByteArray path = req.target.left(req.target.indexOf('?') < 0 ? req.target.size() : req.target.indexOf('?'));
            r.headers << qMakePair(QByteArray("Content-Type"),
                                   QByteArray(path.endsWith(".json") ? "application/json" : "text/html"));
            if (path == "/silent") {
                r.rawThenSilence = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n";
            } else if (path == "/download") {
                r.headers << qMakePair(QByteArray("Content-Disposition"), QByteArray("attachment; filename=a.zip"));
                r.body = QByteArray(4096, 'z');
            } else if (pages.contains(path)) {
                r.body = pages.value(path);
            } else {
                r.status = 404;
                r.reason = "Not Found";
                r.body = "<html><body>no such page <a href='http://www.mysite.com/'>x</a></body></html>";
            }
            return r;
        });

        // One renderer for all: every page after a failure shows that the
        // next ones still render.
        m_renderer = makeRenderer(helper());
    }

    void cleanup()
    {
        for (auto it = m_answers.cbegin(); it != m_answers.cend(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(QStringLiteral("ticket %1 answered %2 times").arg(it.key().second).arg(it.value())));
    }

    void cleanupTestCase() { delete m_renderer; }

    // Each page renders beside one whose link a script draws, which must be
    // found whatever happens to the other.
    void pages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("expected"); // the first href, or "failed: " and a part of the reason
        QTest::newRow("link inserted by a script") << "/script-link" << 5000 << "http://www.mysite.com/";
        QTest::newRow("link built from JSON the page fetches") << "/json-link" << 5000 << m_server.baseUrl() + "/partners";
        QTest::newRow("dialogs, a pop-up, permissions, mailto") << "/hostile" << 5000 << "http://www.mysite.com/";
        QTest::newRow("script that never ends") << "/endless" << 2000 << "failed: still running after 2 seconds";
        QTest::newRow("script that allocates without end") << "/allocates" << 20000 << "failed: more than 256 MiB";
        QTest::newRow("a download, not a page") << "/download" << 5000 << "failed: a file to download";
        QTest::newRow("HTTP 404") << "/none" << 5000 << "failed: HTTP 404";
        QTest::newRow("an answer that never ends") << "/silent" << 2000 << "failed: did not load within 2 seconds";
        QTest::newRow("nothing listens") << "refused" << 5000 << "failed: ERR_CONNECTION_REFUSED";
    }

    void pages()
    {
        if (!QFile::exists(helper()))
            QSKIP("reciplex-render is not built here (the sanitizer build leaves the browser engine out)");
        QFETCH(QString, path);
        QFETCH(int, timeoutMs);
        QFETCH(QString, expected);
        RenderRequest page = request(path, timeoutMs);
        if (path == "refused") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            page.url = QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort());
        }
        QElapsedTimer clock;
        clock.start();
        const quint64 ticket = m_renderer->render(page);
        const quint64 beside = m_renderer->render(request("/script-link"));
        const RenderResult r = result(ticket, timeoutMs + 15000);
        const qint64 took = clock.elapsed();
        QCOMPARE(r.ticket, ticket);
        if (expected.startsWith("failed: ")) {
            QVERIFY2(!r.ok, qPrintable(firstHref(r)));
            QVERIFY2(r.reason.contains(expected.mid(8)), qPrintable(r.reason));
            QVERIFY2(took < timeoutMs + 5000, qPrintable(QString::number(took)));
        } else {
            QVERIFY2(r.ok, qPrintable(r.reason));
            QCOMPARE(firstHref(r), expected);
            QVERIFY(r.settled);
            QVERIFY(r.anchors.first().visible && r.anchors.first().box.width() > 0);
        }
        const RenderResult other = result(beside, 15000);
        QVERIFY2(other.ok, qPrintable(other.reason));
        QCOMPARE(firstHref(other), QString("http://www.mysite.com/"));
        QCOMPARE(other.anchors.first().text, QString("My Site"));
        // Answered pages run no more: their renderer processes are gone.
        const qint64 helperPid = m_renderer->helperProcessId();
        QVERIFY(helperPid > 1);
        QVERIFY2(QTest::qWaitFor([&] { return renderers(helperPid).isEmpty(); }, 2000),
                 qPrintable(QString::number(renderers(helperPid).size())));
    }

    // Cookies and storage one page leaves are not there for the next.
    void eachPageStartsClean()
    {
        if (!QFile::exists(helper()))
            QSKIP("reciplex-render is not built here (the sanitizer build leaves the browser engine out)");
        QVERIFY(result(m_renderer->render(request("/hostile")), 15000).ok);
        QVERIFY(result(m_renderer->render(request("/cookie-probe")), 15000).ok);
        QCOMPARE(m_server.targets().last(), QByteArray("/probe?"));
    }

    // A renderer that crashes fails its page at once; a helper that is killed
    // is started again and its page tried once more; one that hangs is killed
    // after the time-out and its grace. The next page renders each time.
    void crashedRendererKilledHelperHungHelper()
    {
        if (!QFile::exists(helper()))
            QSKIP("reciplex-render is not built here (the sanitizer build leaves the browser engine out)");
        // Signals go only to processes found below a running helper's pid.
        quint64 ticket = m_renderer->render(request("/endless", 30000));
        QList<qint64> pids;
        QVERIFY(QTest::qWaitFor([&] { return !(pids = renderers(m_renderer->helperProcessId())).isEmpty(); }, 15000));
        for (qint64 pid : pids)
            if (pid > 1)
                ::kill(pid_t(pid), SIGSEGV);
        RenderResult r = result(ticket, 5000);
        QVERIFY2(!r.ok && r.reason.contains("crashed"), qPrintable(r.reason));

        ticket = m_renderer->render(request("/script-link"));
        QTest::qWait(200);
        const qint64 first = m_renderer->helperProcessId();
        QVERIFY(first > 1);
        ::kill(pid_t(first), SIGKILL);
        r = result(ticket, 20000);
        QVERIFY2(r.ok, qPrintable(r.reason));
        QVERIFY(m_renderer->helperProcessId() != first);

        ticket = m_renderer->render(request("/script-link", 1000));
        const qint64 second = m_renderer->helperProcessId();
        QVERIFY(second > 1 && second != first);
        ::kill(pid_t(second), SIGSTOP);
        r = result(ticket, 1000 + PageRenderer::kGraceMs + 3000);
        QVERIFY2(!r.ok && r.reason.contains("no answer"), qPrintable(r.reason));
        QVERIFY(result(m_renderer->render(request("/script-link")), 20000).ok);
    }

    // The picture shows the link, scrolled into view and outlined in red; a
    // later render without the link leaves it alone.
    void proofOutlinesTheLink()
    {
        if (!QFile::exists(helper()))
            QSKIP("reciplex-render is not built here (the sanitizer build leaves the browser engine out)");
        QTemporaryDir dir;
        RenderRequest page = request("/proof");
        page.proofPath = dir.filePath("mysite.com/127.0.0.1.png");
        page.proofTargets = {"MySite.com/"};
        RenderResult r = result(m_renderer->render(page), 15000);
        QVERIFY2(r.ok, qPrintable(r.reason));
        QCOMPARE(r.proofPath, page.proofPath);
        QCOMPARE(r.proofOutlined, 1);
        const QImage picture(page.proofPath);
        QCOMPARE(picture.width(), 1280);
        int red = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < 200; ++x)
                red += picture.pixelColor(x, y) == QColor(0xe0, 0x10, 0x10) ? 1 : 0;
        QVERIFY2(red > 100, qPrintable(QString::number(red)));

        QFile file(page.proofPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        file.close();
        page.url = m_server.baseUrl() + "/json-link";
        r = result(m_renderer->render(page), 15000);
        QVERIFY(r.ok);
        QVERIFY(r.proofPath.isEmpty());
        QVERIFY2(r.proofProblem.contains("no link to MySite.com/"), qPrintable(r.proofProblem));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), written);
    }

    // A helper that cannot serve still answers every request: it is missing,
    // cannot start, or its processes together outgrow their limit each time.
    void helperThatCannotServe_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("treeMiB");
        QTest::addColumn<QString>("reason");
        QTest::newRow("none found") << QString() << 3072 << "reciplex-render is not installed";
        QTest::newRow("cannot start") << "/nonexistent/reciplex-render" << 3072 << "could not be started";
        QTest::newRow("past its memory limit") << helper() << 64 << "reciplex-render used more than 64 MiB";
    }

    void helperThatCannotServe()
    {
        QFETCH(QString, program);
        QFETCH(int, treeMiB);
        QFETCH(QString, reason);
        if (program == helper() && !QFile::exists(helper()))
            QSKIP("reciplex-render is not built here (the sanitizer build leaves the browser engine out)");
        std::unique_ptr<PageRenderer> renderer(makeRenderer(program));
        RenderHelper::Limits limits;
        limits.tree = qint64(treeMiB) << 20;
        renderer->setLimits(limits);
        const qsizetype answered = m_results.size();
        const quint64 a = renderer->render(request("/script-link"));
        const quint64 b = renderer->render(request("/json-link"));
        QCOMPARE(m_results.size(), answered); // never from inside render()
        for (quint64 ticket : {a, b}) {
            // Each answer may restart the browser engine: slow on a busy machine.
            const RenderResult r = result(ticket, 60000, renderer.get());
            QVERIFY2(!r.ok && r.reason.contains(reason), qPrintable(r.reason));
        }
    }
};

QTEST_GUILESS_MAIN(TestRender)
#include "tst_render.moc"
