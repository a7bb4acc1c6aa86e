#include "ui/WebsiteWindow.h"

#include "ui/BrowserView.h"
#include "ui/HelpOpener.h"
#include "ui/Identity.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

static QToolButton *imageButton(QWidget *parent, const char *name, QStyle::StandardPixmap image, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setIcon(parent->style()->standardIcon(image));
    b->setToolTip(tip);
    return b;
}

WebsiteWindow::WebsiteWindow(QWidget *parent)
    : QMainWindow(parent, Qt::Window), m_browser(nullptr), m_address(new QLineEdit), m_panel1(new QLabel),
      m_panel2(new QLabel)
{
    setObjectName(QStringLiteral("frmWebsite"));
    auto *frame = new QGroupBox(tr("Browser"));
    frame->setObjectName(QStringLiteral("frameBrowser"));
    m_browser = BrowserView::create(frame);
    m_address->setObjectName(QStringLiteral("txtWebsiteURL"));

    auto *go = imageButton(frame, "cmdWebsiteGo", QStyle::SP_ArrowForward, tr("browse the entered url"));
    auto *back = imageButton(frame, "cmdWebsiteBack", QStyle::SP_ArrowBack, tr("back"));
    auto *forward = imageButton(frame, "cmdWebsiteForward", QStyle::SP_ArrowForward, tr("forward"));
    auto *stop = imageButton(frame, "cmdWebsiteStop", QStyle::SP_BrowserStop, tr("stop"));
    auto *refresh = imageButton(frame, "cmdWebsiteRefresh", QStyle::SP_BrowserReload, tr("refresh"));

    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(new QLabel(tr("URL:")));
    addressRow->addWidget(m_address, 1);
    addressRow->addWidget(go);
    auto *buttonRow = new QHBoxLayout;
    for (QToolButton *b : {back, forward, stop, refresh})
        buttonRow->addWidget(b);
    buttonRow->addStretch(1);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addLayout(addressRow);
    frameLayout->addLayout(buttonRow);
    frameLayout->addWidget(m_browser, 1);
    setCentralWidget(frame);

    // Two panels, each half the window width.
    statusBar()->addWidget(m_panel1, 1);
    statusBar()->addWidget(m_panel2, 1);

    auto navigate = [this] { m_browser->navigate(m_address->text()); };
    connect(m_address, &QLineEdit::returnPressed, this, navigate);
    connect(go, &QToolButton::clicked, this, navigate);
    connect(back, &QToolButton::clicked, m_browser, &BrowserView::back);
    connect(forward, &QToolButton::clicked, m_browser, &BrowserView::forward);
    connect(stop, &QToolButton::clicked, m_browser, &BrowserView::stop);
    connect(refresh, &QToolButton::clicked, m_browser, &BrowserView::reload);
    connect(m_browser, &BrowserView::statusTextChanged, m_panel1, &QLabel::setText);
    connect(m_browser, &BrowserView::downloadBegun, this,
            [this] { m_panel2->setText(tr("Opening ") + m_browser->locationUrl()); });
    connect(m_browser, &BrowserView::downloadComplete, this, [this] {
        m_panel2->setText(tr("Completed ") + m_browser->locationUrl());
        m_address->setText(m_browser->locationUrl());
        setWindowTitle(m_browser->locationTitle());
    });
}

void WebsiteWindow::open()
{
    if (m_loaded) {
        if (isMinimized())
            showMaximized();
        show();
        raise();
        activateWindow();
        return;
    }
    m_loaded = true;
    setWindowTitle(Identity::websiteName());
    // Brought up on top of everything, then released, so it is in front
    // without staying above the other windows.
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    m_browser->navigate(startPageUrl());
    showMaximized();
    setWindowFlag(Qt::WindowStaysOnTopHint, false);
    showMaximized();
    raise();
    activateWindow();
}

QString WebsiteWindow::statusText(int panel) const
{
    return panel == 1 ? m_panel1->text() : m_panel2->text();
}

void WebsiteWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit closed();
}
