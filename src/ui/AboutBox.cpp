#include "ui/AboutBox.h"

#include "ui/Artwork.h"
#include "ui/Identity.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {
class Banner : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        Artwork::paintBanner(p, rect(), false);
    }
};
} // namespace

AboutBox::AboutBox(QWidget *parent) : QWidget(parent, Qt::Window), m_version(new QLabel(Identity::versionText(), this))
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("About ") + Identity::product());
    auto *banner = new Banner(this);
    banner->setFixedHeight(110);
    m_version->setObjectName(QStringLiteral("lblVersion"));
    auto *owner = new QLabel(Identity::company(), this);
    owner->setObjectName(QStringLiteral("lblCompany"));
    auto *website = new QLabel(QStringLiteral("<a href=\"website\" style=\"color:#0000ff\">%1</a>")
                                   .arg(Identity::websiteName().toHtmlEscaped()),
                               this);
    website->setObjectName(QStringLiteral("lblWebsite"));
    website->setCursor(Qt::PointingHandCursor);
    connect(website, &QLabel::linkActivated, this, &AboutBox::websiteRequested);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Version:"), this), 0, 0);
    grid->addWidget(m_version, 0, 1);
    grid->addWidget(new QLabel(tr("Owned By:"), this), 1, 0);
    grid->addWidget(owner, 1, 1);
    grid->addWidget(new QLabel(tr("Website:"), this), 2, 0);
    grid->addWidget(website, 2, 1);
    grid->setColumnStretch(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->addWidget(banner);
    auto *inner = new QVBoxLayout;
    inner->setContentsMargins(16, 8, 16, 0);
    inner->addLayout(grid);
    layout->addLayout(inner);
    setFixedSize(400, 220);
}

QString AboutBox::versionText() const
{
    return m_version->text();
}
