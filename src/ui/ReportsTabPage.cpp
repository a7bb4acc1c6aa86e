#include "ui/ReportsTabPage.h"

#include "ui/BrowserView.h"

#include <QVBoxLayout>

QWidget *createReportsTabPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("ReportsTab"));
    auto *browser = BrowserView::create(page);
    browser->setObjectName(QStringLiteral("brwReport"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(browser, 1);
    return page;
}
