#include "ui/PagesTabPage.h"

#include <QGroupBox>
#include <QVBoxLayout>

QWidget *createPagesTabPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("PagesTab"));
    auto *frame = new QGroupBox(QObject::tr("Page Builder"), page);
    frame->setObjectName(QStringLiteral("framePageBuilder"));
    new QVBoxLayout(frame);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(frame);
    return page;
}
