#include "ui/SplashWindow.h"

#include "ui/Artwork.h"
#include "ui/Identity.h"

#include <QPainter>

SplashWindow::SplashWindow(Loader loadMainWindow, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), m_load(std::move(loadMainWindow))
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(Identity::product());
    setFixedSize(480, 260);
    m_timer.setInterval(2);
    connect(&m_timer, &QTimer::timeout, this, &SplashWindow::tick);
}

void SplashWindow::start()
{
    show();
    m_timer.start();
}

void SplashWindow::tick()
{
    const qint16 before = m_intTemp;
    m_intTemp = qint16(m_intTemp + 2);
    if (before != 148) // the 75th tick
        return;
    m_timer.stop();
    m_handedOver = true;
    if (m_load)
        m_load();
    hide();
}

void SplashWindow::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    Artwork::paintBanner(p, rect(), true);
}
