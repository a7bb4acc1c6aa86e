#include "ui/WebTab.h"

#include "ui/BrowserView.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

static QPushButton *historyButton(QWidget *parent, const char *name, const QString &caption, const QString &tip)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(tip);
    return b;
}

WebTab::WebTab(QWidget *parent) : QWidget(parent), m_browser(BrowserView::create(this)), m_address(new QLineEdit(this))
{
    setObjectName(QStringLiteral("WebTab"));
    m_browser->setObjectName(QStringLiteral("brwWebBrowser"));
    m_address->setObjectName(QStringLiteral("txtURL"));

    auto *go = new QToolButton(this);
    go->setObjectName(QStringLiteral("cmdGo"));
    go->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    go->setToolTip(tr("browse the entered url"));

    auto *back = historyButton(this, "cmdBack", tr("Back"), tr("back"));
    auto *forward = historyButton(this, "cmdForward", tr("Forward"), tr("forward"));
    auto *stop = historyButton(this, "cmdWebStop", tr("Stop"), tr("stop"));
    auto *refresh = historyButton(this, "cmdRefresh", tr("Refresh"), tr("refresh"));

    auto *addressRow = new QHBoxLayout;
    addressRow->addWidget(m_address, 1);
    addressRow->addWidget(go);
    auto *buttonRow = new QHBoxLayout;
    for (QPushButton *b : {back, forward, stop, refresh})
        buttonRow->addWidget(b);
    buttonRow->addStretch(1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(addressRow);
    layout->addLayout(buttonRow);
    layout->addWidget(m_browser, 1);

    // The address goes to the browser exactly as typed.
    auto navigate = [this] { m_browser->navigate(m_address->text()); };
    connect(m_address, &QLineEdit::returnPressed, this, navigate);
    connect(go, &QToolButton::clicked, this, navigate);
    connect(back, &QPushButton::clicked, m_browser, &BrowserView::back);
    connect(forward, &QPushButton::clicked, m_browser, &BrowserView::forward);
    connect(stop, &QPushButton::clicked, m_browser, &BrowserView::stop);
    connect(refresh, &QPushButton::clicked, m_browser, &BrowserView::reload);
    connect(m_browser, &BrowserView::downloadComplete, this,
            [this] { m_address->setText(m_browser->locationUrl()); });
}
