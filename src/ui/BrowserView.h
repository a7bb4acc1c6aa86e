#pragma once

#include <QWidget>

// The embedded web browser as the window program needs it: navigate, history,
// stop, reload, the current location and the events of a page load. The
// platform's web engine serves where it is built; elsewhere (and in tests that
// must not start a browser engine) a plain text viewer stands in.
class BrowserView : public QWidget
{
    Q_OBJECT
public:
    static BrowserView *create(QWidget *parent = nullptr);
    // Tests and builds without the web engine use the stand-in.
    static void setUseStandIn(bool standIn);
    static bool usesStandIn();

    // Navigates to the text as typed; the engine reads an address without a
    // scheme as a web address, the way a browser's address box does.
    void navigate(const QString &address);
    // The last address handed to navigate(), exactly as given.
    QString requestedUrl() const { return m_requested; }

    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void stop() = 0;
    virtual void reload() = 0;
    virtual QString locationUrl() const = 0;
    virtual QString locationTitle() const = 0;
    // Silent mode: the page shows no dialog boxes of its own.
    virtual void setSilent(bool silent) { m_silent = silent; }
    bool isSilent() const { return m_silent; }

signals:
    void statusTextChanged(const QString &text);
    void downloadBegun();
    void downloadComplete();
    void progressChanged(int percent);

protected:
    explicit BrowserView(QWidget *parent) : QWidget(parent) {}
    virtual void navigateTo(const QString &address) = 0;

private:
    QString m_requested;
    bool m_silent = false;
};
