#include "ui/PostTabPage.h"

#include <QGroupBox>
#include <QVBoxLayout>

QWidget *createPostTabPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("PostTab"));
    auto *frame = new QGroupBox(QObject::tr("Post the results of your scans to your script enabled website"), page);
    frame->setObjectName(QStringLiteral("framePost"));
    new QVBoxLayout(frame);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(frame);
    return page;
}
