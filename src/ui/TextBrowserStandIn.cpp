#include "ui/TextBrowserStandIn.h"

#include "ui/DialogService.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

TextBrowserStandIn::TextBrowserStandIn(QWidget *parent) : BrowserView(parent), m_view(new QTextBrowser(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->setOpenLinks(false);
    connect(m_view, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
        DialogService::instance().openWithDesktop(url.toString());
    });
    connect(m_view, &QTextBrowser::highlighted, this,
            [this](const QUrl &url) { emit statusTextChanged(url.toString()); });
}

void TextBrowserStandIn::navigateTo(const QString &address)
{
    // A new page drops the forward part of the history, as browsers do.
    while (m_history.size() > m_position + 1)
        m_history.removeLast();
    m_history.append(address);
    m_position = int(m_history.size()) - 1;
    show(address);
}

static QString localPath(const QString &address)
{
    const QUrl url(address);
    if (url.isLocalFile())
        return url.toLocalFile();
    if (QFileInfo(address).isAbsolute() && QFileInfo::exists(address))
        return address;
    return QString();
}

void TextBrowserStandIn::show(const QString &address)
{
    emit downloadBegun();
    const QString path = localPath(address);
    if (address == QLatin1String("about:blank")) {
        m_view->clear();
    } else if (!path.isEmpty()) {
        m_view->setSource(QUrl::fromLocalFile(path));
    } else {
        const QString href = QUrl::fromUserInput(address).toString(QUrl::FullyEncoded).toHtmlEscaped();
        m_view->setHtml(tr("<p>This copy of the program has no built-in web browser.</p>"
                           "<p>Open <a href=\"%1\">%2</a> in your web browser.</p>")
                            .arg(href, address.toHtmlEscaped()));
    }
    emit progressChanged(100);
    emit downloadComplete();
}

void TextBrowserStandIn::back()
{
    if (m_position <= 0)
        return;
    --m_position;
    show(m_history.at(m_position));
}

void TextBrowserStandIn::forward()
{
    if (m_position + 1 >= m_history.size())
        return;
    ++m_position;
    show(m_history.at(m_position));
}

void TextBrowserStandIn::reload()
{
    if (m_position >= 0)
        show(m_history.at(m_position));
}

QString TextBrowserStandIn::locationUrl() const
{
    return m_position >= 0 ? m_history.at(m_position) : QString();
}

QString TextBrowserStandIn::locationTitle() const
{
    const QString title = m_view->documentTitle();
    return title.isEmpty() ? locationUrl() : title;
}
