#include "support/SiteFarmServer.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace {

// A listener whose connections speak TLS: each is handed over once secured.
class TlsListener : public QTcpServer
{
public:
    TlsListener(const QSslConfiguration &configuration, QObject *parent)
        : QTcpServer(parent)
        , m_configuration(configuration)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setSslConfiguration(m_configuration);
        socket->setProperty("secure", true);
        addPendingConnection(socket);
        socket->startServerEncryption();
    }

private:
    QSslConfiguration m_configuration;
};

} // namespace

// The first address picks a free port; the others must get the same one,
// else all are given up and another port is tried.
QList<QTcpServer *> SiteFarmServer::listenOnAllHosts(const std::function<QTcpServer *()> &make, quint16 *port)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        QList<QTcpServer *> servers;
        quint16 chosen = 0;
        for (int h = 0; h < m_hostCount; ++h) {
            QTcpServer *server = make();
            if (!server->listen(QHostAddress(hostName(h)), chosen)) {
                m_failure = hostName(h) + QStringLiteral(": ") + server->errorString();
                delete server;
                qDeleteAll(servers);
                servers.clear();
                break;
            }
            chosen = server->serverPort();
            servers.append(server);
        }
        if (!servers.isEmpty()) {
            *port = chosen;
            m_failure.clear();
            for (QTcpServer *server : std::as_const(servers))
                connect(server, &QTcpServer::newConnection, this, [this, server] { onNewConnection(server); });
            return servers;
        }
    }
    return {};
}

SiteFarmServer::SiteFarmServer(int hostCount, QObject *parent)
    : QObject(parent)
    , m_hostCount(hostCount)
{
    m_servers = listenOnAllHosts([this] { return new QTcpServer(this); }, &m_port);
}

bool SiteFarmServer::enableTls(const QString &certificateFile, const QString &keyFile)
{
    QFile certificate(certificateFile);
    QFile key(keyFile);
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
        return false;
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(certificate.readAll()));
    configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    m_tlsServers = listenOnAllHosts([this, configuration] { return new TlsListener(configuration, this); }, &m_tlsPort);
    return !m_tlsServers.isEmpty();
}

SiteFarmServer::~SiteFarmServer() = default;

void SiteFarmServer::setPage(int host, const QByteArray &path, const Answer &answer)
{
    m_pages.insert(hostName(host).toLatin1() + path, answer);
}

void SiteFarmServer::setSecurePage(int host, const QByteArray &path, const Answer &answer)
{
    m_securePages.insert(hostName(host).toLatin1() + path, answer);
}

int SiteFarmServer::mostAtOnceOnOneHost() const
{
    int most = 0;
    for (const Request &r : m_requests) {
        if (r.givenUp)
            continue;
        int atOnce = 0;
        for (const Request &o : m_requests) {
            if (!o.givenUp && o.host == r.host && o.begin <= r.begin && (o.end < 0 || o.end > r.begin))
                ++atOnce;
        }
        most = qMax(most, atOnce);
    }
    return most;
}

void SiteFarmServer::resetCounts()
{
    m_requests.clear();
    m_events = 0;
}

void SiteFarmServer::onNewConnection(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection())
        onSocket(socket);
}

void SiteFarmServer::onSocket(QTcpSocket *socket)
{
    // A request the scanner gave up on (a dropped or stopped site) stops
    // counting when its connection ends, not when its answer was due.
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket->property("waiting").toBool()) {
            socket->setProperty("waiting", false);
            Request &r = m_requests[socket->property("request").toInt()];
            r.end = ++m_events;
            r.givenUp = true;
        }
        socket->deleteLater();
    });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
        // The request is whole at its blank line; anything after it is ignored.
        if (socket->property("answered").toBool() || !socket->peek(64 * 1024).contains("\r\n\r\n"))
            return;
        socket->setProperty("answered", true);
        // Counted until the answer is due, which is never later than the
        // scanner sees its connection end; a silent page only until then,
        // as the scanner's close of it may be seen after its next connect.
        const QString host = socket->localAddress().toString();
        m_requests.append({host, ++m_events});
        socket->setProperty("request", int(m_requests.size() - 1));
        socket->setProperty("waiting", true);
        socket->setProperty("host", host);
        const int most = m_hostDelays.value(host, m_maxDelayMs);
        const auto own = answerFor(socket);
        const int delay = own.delayMs >= 0 ? own.delayMs : int(m_delays.bounded(most + 1));
        QTimer::singleShot(delay, socket, [this, socket] { answer(socket); });
    });
}

SiteFarmServer::Answer SiteFarmServer::answerFor(QTcpSocket *socket) const
{
    const QByteArray request = socket->peek(64 * 1024);
    const QList<QByteArray> words = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray path = words.size() >= 2 ? words.at(1) : QByteArray("/");
    const QByteArray key = socket->localAddress().toString().toLatin1() + path;
    if (socket->property("secure").toBool()) {
        const auto secure = m_securePages.constFind(key);
        if (secure != m_securePages.constEnd())
            return secure.value();
    }
    const auto it = m_pages.constFind(key);
    if (it != m_pages.constEnd())
        return it.value();
    Answer a;
    a.statusLine = "HTTP/1.0 404 Not Found";
    a.body = "<html><head><title>404 Not Found</title></head><body>Not Found</body></html>\n";
    return a;
}

void SiteFarmServer::answer(QTcpSocket *socket)
{
    const Answer a = answerFor(socket);
    socket->readAll();
    if (socket->property("waiting").toBool()) {
        socket->setProperty("waiting", false);
        m_requests[socket->property("request").toInt()].end = ++m_events;
    }
    if (a.silent)
        return; // the connection stays open until the client gives up
    socket->write(a.statusLine + "\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(a.body.size())
                  + "\r\n" + a.extraHeaders + "\r\n" + a.body);
    socket->disconnectFromHost();
}

namespace {

enum class Kind {
    LinkOnStart,    // the link on the start page
    LinkDeep,       // the link some pages in
    NoLink,         // None Found
    MentionOnly,    // the Main Site named without an anchor: Redirect Link
    MovedStart,     // the start page answers 301 with a moved page
    BrokenStart,    // the start page answers 404 or 500
    TwoExpected,    // two links expected, one or two present
    BrokenInside,   // some pages answer 404 or 500, the link on the last one
    KindCount
};

struct SitePlan
{
    int main = 0;
    int host = 0;
    QByteArray base;   // "/s3/" or "/" for a site that is a whole host
    Kind kind = Kind::NoLink;
    int pages = 1;
    int linkPage = -1; // page that carries the Main Site's link, -1 none
    int secondLink = -1;
    int silentPage = -1;
    bool reused = false; // the same partner listed under another Main Site too
    bool typedSecure = false; // listed as "https://…"
    bool movesToHttps = false; // its plain start page answers 301 to its https URL
    int movedPage = -1;        // a page that is a redirect page to another site's page
    QString linksExpected = QStringLiteral("1");
};

QByteArray pagePath(const SitePlan &s, int page)
{
    return page == 0 ? s.base : s.base + "p" + QByteArray::number(page) + ".html";
}

QByteArray absolute(const SitePlan &s, int page)
{
    return "http://" + SiteFarmServer::hostName(s.host).toLatin1() + pagePath(s, page);
}

QString mainSiteUrl(int main)
{
    return QStringLiteral("http://www.mysite%1.com/links.htm").arg(main + 1);
}

QByteArray anchor(const QByteArray &href, const QByteArray &text)
{
    return "<a href=\"" + href + "\">" + text + "</a>\n";
}

} // namespace

SiteFarmServer::Layout SiteFarmServer::generate(quint32 seed, bool wide)
{
    QRandomGenerator rnd(seed);
    m_delays.seed(seed);
    m_pages.clear();
    m_securePages.clear();
    m_hostDelays.clear();
    const int hosts = qMin(wide ? 8 : 5, int(m_servers.size()));
    const int mains = 2 + int(rnd.bounded(2));

    // The plan first, so pages can link to sites listed after them.
    QList<SitePlan> plans;
    QList<QList<int>> sitesOf(mains);
    int next = 0;
    // Kinds are dealt from shuffled decks, so a seed of eight sites or more has each.
    QList<Kind> deck;
    const auto dealKind = [&] {
        if (deck.isEmpty()) {
            for (int k = 0; k < int(Kind::KindCount); ++k)
                deck.insert(int(rnd.bounded(int(deck.size()) + 1)), Kind(k));
        }
        return deck.takeLast();
    };
    for (int m = 0; m < mains; ++m) {
        const int count = 5 + int(rnd.bounded(4));
        for (int i = 0; i < count; ++i) {
            SitePlan s;
            s.main = m;
            // A partner of an earlier Main Site again, pages and all.
            const QList<int> earlier = m > 0 ? sitesOf.at(m - 1) : QList<int>();
            if (!earlier.isEmpty() && rnd.bounded(5) == 0) {
                s = plans.at(earlier.at(int(rnd.bounded(int(earlier.size())))));
                s.main = m;
                s.reused = true;
                sitesOf[m].append(int(plans.size()));
                plans.append(s);
                continue;
            }
            s.host = int(rnd.bounded(hosts));
            s.base = "/s" + QByteArray::number(next++) + "/";
            s.kind = dealKind();
            s.pages = 3 + int(rnd.bounded(5));
            switch (s.kind) {
            case Kind::LinkOnStart:
                s.linkPage = 0;
                break;
            case Kind::LinkDeep:
            case Kind::MentionOnly:
                s.linkPage = 1 + int(rnd.bounded(s.pages - 1));
                break;
            case Kind::MovedStart:
                s.linkPage = 1 + int(rnd.bounded(s.pages - 1));
                break;
            case Kind::TwoExpected:
                s.linksExpected = QStringLiteral("2");
                s.linkPage = int(rnd.bounded(s.pages));
                if (rnd.bounded(2))
                    s.secondLink = 1 + int(rnd.bounded(s.pages - 1));
                break;
            case Kind::BrokenInside:
                s.linkPage = s.pages - 1;
                break;
            default:
                break;
            }
            sitesOf[m].append(int(plans.size()));
            plans.append(s);
        }
    }
    if (wide) {
        for (SitePlan &s : plans) {
            if (s.reused)
                continue;
            switch (rnd.bounded(12)) {
            case 0:
                s.typedSecure = !m_tlsServers.isEmpty();
                break;
            case 1:
                s.movesToHttps = !m_tlsServers.isEmpty() && s.kind != Kind::MovedStart && s.kind != Kind::BrokenStart;
                break;
            case 2:
                s.linksExpected = QStringLiteral("0");
                break;
            case 3:
                s.linksExpected = QStringLiteral("abc");
                break;
            case 4:
                if (s.kind == Kind::LinkOnStart)
                    s.linksExpected = QStringLiteral("3");
                break;
            case 5:
            case 6:
                if (s.pages >= 3 && s.linkPage != 1 && s.secondLink != 1)
                    s.movedPage = 1;
                break;
            default:
                break;
            }
        }
    }
    // A whole-host site listed after a linked site of the same host and Main
    // Site: what it treats as seen depends on the URL the earlier one got.
    {
        const int first = sitesOf.at(0).first();
        SitePlan &linked = plans[first];
        if (linked.linkPage < 0) {
            linked.kind = Kind::LinkDeep;
            linked.linkPage = linked.pages - 1;
        }
        linked.reused = false;
        SitePlan whole;
        whole.main = 0;
        whole.host = linked.host;
        whole.base = "/";
        whole.kind = Kind::NoLink;
        whole.pages = 3 + int(rnd.bounded(3));
        sitesOf[0].append(int(plans.size()));
        plans.append(whole);
    }
    // One silent start page per seed: the idle time-out ends its site.
    {
        QList<int> candidates;
        for (int i = 0; i < plans.size(); ++i) {
            const QByteArray &base = plans.at(i).base;
            const auto sameBase = [&](const SitePlan &o) { return o.base == base; };
            if (base != "/" && i != sitesOf.at(0).first() && std::count_if(plans.cbegin(), plans.cend(), sameBase) == 1)
                candidates.append(i);
        }
        SitePlan &s = plans[candidates.at(int(rnd.bounded(int(candidates.size()))))];
        s.silentPage = 0;
    }

    Layout layout;
    for (int m = 0; m < mains; ++m) {
        MainSite main;
        main.url = mainSiteUrl(m);
        for (int i : sitesOf.at(m)) {
            LinkingSite site;
            site.url = (plans.at(i).typedSecure ? QStringLiteral("https://") : QString()) + hostName(plans.at(i).host)
                     + QString::fromLatin1(plans.at(i).base);
            site.linksExpected = plans.at(i).linksExpected;
            main.linkingSites.append(site);
        }
        layout.mainSites.append(main);
    }
    if (wide) {
        // A partner whose server is gone: the connection is refused.
        LinkingSite dead;
        dead.url = QStringLiteral("127.0.0.250/dead/");
        layout.mainSites[int(rnd.bounded(mains))].linkingSites.append(dead);
    }
    layout.rules.append({kGlobalScope, kGlobalScope, RuleType::ExcludeDirectory, QStringLiteral("private")});
    {
        const int pick = sitesOf.at(mains - 1).at(int(rnd.bounded(int(sitesOf.at(mains - 1).size()))));
        layout.rules.append({mainSiteUrl(mains - 1), layout.mainSites.at(mains - 1).linkingSites.last().url,
                             RuleType::ExcludeString, QStringLiteral("p2.html")});
        layout.rules.append({mainSiteUrl(plans.at(pick).main),
                             hostName(plans.at(pick).host) + QString::fromLatin1(plans.at(pick).base),
                             RuleType::ExcludeString, QStringLiteral("p3.html")});
    }

    for (int i = 0; i < plans.size(); ++i) {
        const SitePlan &s = plans.at(i);
        if (s.reused)
            continue; // its pages are the original's
        for (int p = 0; p < s.pages; ++p) {
            Answer a;
            QByteArray body = "<html><head><title>Site " + s.base + " page " + QByteArray::number(p)
                            + "</title></head><body>\n";
            // Pages of the site: the next, the start, one at random; relative or absolute.
            const int forward = (p + 1) % s.pages;
            body += anchor(rnd.bounded(2) ? absolute(s, forward) : pagePath(s, forward), "next");
            body += anchor(absolute(s, 0), "home");
            body += anchor(pagePath(s, int(rnd.bounded(s.pages))), "more");
            if (rnd.bounded(3) == 0)
                body += anchor(s.base + "private/p" + QByteArray::number(p) + ".html", "members");
            if (rnd.bounded(4) == 0)
                body += anchor(s.base + "gone" + QByteArray::number(p) + ".html", "old page");
            // Other Linking Sites, mostly of the same Main Site, start pages and inner pages.
            const int others = int(rnd.bounded(3));
            for (int o = 0; o < others; ++o) {
                const QList<int> &pool = sitesOf.at(rnd.bounded(4) ? s.main : int(rnd.bounded(mains)));
                const SitePlan &t = plans.at(pool.at(int(rnd.bounded(int(pool.size())))));
                const int page = t.linkPage >= 0 && rnd.bounded(2) ? t.linkPage : int(rnd.bounded(t.pages));
                body += anchor(absolute(t, page), "partner");
            }
            if (s.base == "/") {
                // Every same-host site of this Main Site, where its link is.
                for (int j : sitesOf.at(s.main)) {
                    const SitePlan &t = plans.at(j);
                    if (t.host == s.host && t.base != "/")
                        body += anchor(absolute(t, t.linkPage >= 0 ? t.linkPage : 0), "neighbour");
                }
            }
            const QByteArray mainUrl = mainSiteUrl(s.main).toLatin1();
            if (p == s.linkPage || p == s.secondLink) {
                if (s.kind == Kind::MentionOnly)
                    body += "<p>We moved our links to " + mainUrl.mid(7) + " this spring.</p>\n";
                else if (rnd.bounded(3) == 0)
                    body += "<a rel=\"nofollow\" href=\"" + mainUrl + "\">Our friend</a>\n"; // a link note
                else
                    body += anchor(p == s.secondLink ? mainUrl.left(mainUrl.lastIndexOf('/') + 1) : mainUrl,
                                   "Our friend");
            }
            body += "</body></html>\n";
            a.body = body;

            if (p == 0 && s.kind == Kind::MovedStart) {
                a.statusLine = "HTTP/1.0 301 Moved Permanently";
                a.extraHeaders = "Location: " + absolute(s, 1) + "\r\n";
                a.body = "<html><head>\n<title>301 Moved Permanently</title>\n</head><body>\n"
                         "<h1>Moved Permanently</h1>\n<p>The document has moved <a href=\""
                       + absolute(s, 1) + "\">here</a>.</p>\n</body></html>\n";
            }
            if (p == 0 && s.kind == Kind::BrokenStart) {
                a.statusLine = rnd.bounded(2) ? "HTTP/1.0 404 Not Found" : "HTTP/1.0 500 Internal Server Error";
                a.body = "<html><body>broken</body></html>\n";
            }
            if (p > 0 && p < s.pages - 1 && s.kind == Kind::BrokenInside && rnd.bounded(2))
                a.statusLine = "HTTP/1.0 500 Internal Server Error";
            a.silent = p == s.silentPage;
            if (p == s.movedPage) {
                // A redirect page to a page of another site, downloaded whole.
                const SitePlan &t = plans.at(int(rnd.bounded(int(plans.size()))));
                const QByteArray target = "http://" + hostName(t.host).toLatin1() + ":" + QByteArray::number(m_port)
                                        + pagePath(t, t.linkPage >= 0 ? t.linkPage : 0);
                a.body = "<html><head><title>Document Moved</title></head><body>\n<a href=\"" + target
                       + "\">here</a></body></html>\n";
            }
            if (p == 0 && s.movesToHttps) {
                setSecurePage(s.host, pagePath(s, p), a);
                a.statusLine = "HTTP/1.0 301 Moved Permanently";
                a.extraHeaders = "Location: https://" + hostName(s.host).toLatin1() + pagePath(s, 0) + "\r\n";
                a.body = "<html><body>Moved</body></html>\n";
            }
            setPage(s.host, pagePath(s, p), a);
        }
    }
    // robots.txt: the first host shuts crawlers out but for one site, the
    // second names no page; the others have none (404).
    QByteArray allowed = "/nothing/";
    for (const SitePlan &s : plans) {
        if (s.host == 0 && s.base != "/") {
            allowed = s.base;
            break;
        }
    }
    Answer robots;
    robots.body = "User-agent: *\nDisallow: /\nAllow: " + allowed + "\n";
    setPage(0, "/robots.txt", robots);
    robots.body = "User-agent: *\nDisallow:\n";
    setPage(1, "/robots.txt", robots);
    if (wide) {
        // A robots.txt slow to come, and a host slow to answer.
        robots.body = "User-agent: *\nDisallow: /s2/\n";
        robots.delayMs = 400;
        setPage(2, "/robots.txt", robots);
        setHostDelay(7, 200);
    }
    return layout;
}

SiteFarmServer::Layout SiteFarmServer::seenThroughAnUpdatedUrl()
{
    m_delays.seed(1);
    m_pages.clear();
    const QByteArray mainUrl = mainSiteUrl(0).toLatin1();
    const QByteArray links = "http://" + hostName(11).toLatin1() + "/a/links.html";
    Answer a;
    // The updating site walks a few pages first, so the other asks before it ends.
    for (int p = 0; p < 4; ++p) {
        a.body = "<html><body>\n" + anchor("/a/p" + QByteArray::number(p + 1) + ".html", "next") + "</body></html>\n";
        setPage(11, p == 0 ? QByteArray("/a/") : "/a/p" + QByteArray::number(p) + ".html", a);
    }
    a.body = "<html><body>\n" + anchor(links, "links") + "</body></html>\n";
    setPage(11, "/a/p4.html", a);
    a.body = "<html><body>\n" + anchor(mainUrl, "Our friend") + "</body></html>\n";
    setPage(11, "/a/links.html", a);
    a.body = "<html><body>\n" + anchor(links, "a friend's links") + "</body></html>\n";
    setPage(0, "/", a);

    Layout layout;
    MainSite main;
    main.url = mainSiteUrl(0);
    LinkingSite updating;
    updating.url = hostName(11) + QStringLiteral("/a/");
    updating.linksExpected = QStringLiteral("1");
    LinkingSite asking;
    asking.url = hostName(0);
    asking.linksExpected = QStringLiteral("1");
    main.linkingSites = {updating, asking};
    layout.mainSites = {main};
    return layout;
}
