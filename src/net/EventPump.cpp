#include "net/EventPump.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace {
int g_intervalMs = 4;

QElapsedTimer &pumpClock()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer;
}
} // namespace

namespace EventPump {

void pumpNow()
{
    pumpClock().restart();
    QCoreApplication::processEvents();
}

void pump()
{
    if (g_intervalMs <= 0 || pumpClock().elapsed() >= g_intervalMs)
        pumpNow();
}

void setIntervalMs(int ms)
{
    g_intervalMs = ms;
}

int intervalMs()
{
    return g_intervalMs;
}

} // namespace EventPump
