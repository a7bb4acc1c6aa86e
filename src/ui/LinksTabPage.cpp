#include "ui/LinksTabPage.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

QWidget *createLinksTabPage(QWidget *parent)
{
    auto *page = new QWidget(parent);
    page->setObjectName(QStringLiteral("LinksTab"));
    auto *results = new QTreeWidget(page);
    results->setObjectName(QStringLiteral("List3"));
    results->setRootIsDecorated(false);
    results->setHeaderLabels({QObject::tr("Main"), QObject::tr("Remote"), QObject::tr("Status"), QObject::tr("No."),
                              QObject::tr("URL")});
    results->header()->setStretchLastSection(false);
    results->header()->setSectionsClickable(true);
    auto *label = new QLabel(QObject::tr("Errors/Warnings:"), page);
    label->setObjectName(QStringLiteral("lblErrors"));
    auto *errors = new QTreeWidget(page);
    errors->setObjectName(QStringLiteral("lstErr"));
    errors->setRootIsDecorated(false);
    errors->setHeaderLabels({QObject::tr("Error"), QObject::tr("URL")});
    errors->header()->setSectionsClickable(true);

    // The results list takes what the errors list leaves.
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(results, 3);
    layout->addSpacing(6);
    layout->addWidget(label);
    layout->addWidget(errors, 1);
    return page;
}
