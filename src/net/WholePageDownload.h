#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QNetworkReply;

// Download of a whole URL, used to follow redirect pages, to post results to a
// script and to import from the web. It sends the user agent of the scan (the
// UserAgent setting; "Mozilla" when that is empty), asks caches for a fresh
// copy and follows redirections (http to https too). The
// body comes back as ISO-8859-1 text; "" when the URL cannot be opened. An
// error page of the server is returned like any other body.
//
// No server can hold it for ever or fill the memory: it gives up after an
// idle time without data and after a total time, and a body is cut at the
// scan's page cap; in each case what was read so far comes back.
inline constexpr int kDownloadIdleTimeoutMs = 60 * 1000;
inline constexpr qint64 kDownloadCap = 16 * 1024 * 1024;

struct DownloadLimits
{
    int idleTimeoutMs = kDownloadIdleTimeoutMs;
    qint64 totalTimeoutMs = 10LL * kDownloadIdleTimeoutMs;
};

// "http://" is put in front of a URL that holds neither "http://" nor
// "https://" (ignoring case).
void prefixHttp(QString &url);

// One download at a time, without waiting: finished carries the body. The
// scan uses it so that Stop and Skip end a download under way at once.
class WholePageDownload : public QObject
{
    Q_OBJECT
public:
    explicit WholePageDownload(QObject *parent = nullptr);
    ~WholePageDownload() override;

    // Starts the download of a URL that already has its scheme; a download
    // under way is abandoned first. finished never comes from inside start.
    void start(const QString &url, const DownloadLimits &limits = {});
    // Ends the download under way; no finished signal follows for it.
    void abort();
    bool isRunning() const { return m_running; }
    // Accepts a certificate that fails verification: the scan's choice
    // (IgnoreCertificateErrors) for the pages of its partners. Posting and
    // import always verify.
    void setAcceptAnyCertificate(bool accept) { m_acceptAnyCertificate = accept; }
    // The HTTP status of the download that finished last (after any
    // redirections); 0 when no answer came.
    int statusCode() const { return m_statusCode; }

signals:
    void finished(const QString &body);

private:
    void readSome();
    void finish();

    QNetworkAccessManager *m_manager = nullptr; // one session per download
    QNetworkReply *m_reply = nullptr;
    QTimer m_idle;
    QTimer m_total;
    QByteArray m_body;
    bool m_running = false;
    int m_statusCode = 0;
    bool m_acceptAnyCertificate = false;
};

// The blocking form for posting and import: pending events keep running while
// it waits. The caller's variable gets the "http://" prefix. The total time is
// ten times the idle time.
QString downloadWholePage(QString &url, int idleTimeoutMs = kDownloadIdleTimeoutMs);
