#pragma once

#include <QWebEnginePage>

// A page that nobody watches: whatever a page script asks of the user is
// refused at once and silently (dialogs, pop-up windows, permissions, file
// choosers, log-ins, client certificates, full screen, protocol handlers),
// navigation stays on web schemes (never handed to the desktop), the sound is
// off and console messages go nowhere.
class HeadlessPage : public QWebEnginePage
{
    Q_OBJECT
public:
    HeadlessPage(QWebEngineProfile *profile, bool acceptBadCertificates, QObject *parent = nullptr);

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override;
    void javaScriptAlert(const QUrl &origin, const QString &message) override;
    bool javaScriptConfirm(const QUrl &origin, const QString &message) override;
    bool javaScriptPrompt(const QUrl &origin, const QString &message, const QString &defaultValue,
                          QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                  const QString &source) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
};
