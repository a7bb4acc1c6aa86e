#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>

// The first window of the program: the product artwork and a 2 ms timer; at
// its 75th tick it loads the main window and hides itself (it stays loaded,
// hidden, until the program ends).
class SplashWindow : public QWidget
{
    Q_OBJECT
public:
    using Loader = std::function<void()>;
    explicit SplashWindow(Loader loadMainWindow, QWidget *parent = nullptr);

    void start();            // show and enable the timer
    qint16 ticks() const { return m_intTemp; }
    bool handedOver() const { return m_handedOver; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void tick();

    Loader m_load;
    QTimer m_timer;
    qint16 m_intTemp = 0;
    bool m_handedOver = false;
};
