#include "platform/timer.h"

namespace vidmora::platform {

Timer::Timer(QObject *parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Timer::tick);
}

void Timer::setInterval(int ms)
{
    m_interval = ms < 0 ? 0 : ms;
    apply();
}

void Timer::setEnabled(bool on)
{
    m_enabled = on;
    apply();
}

void Timer::apply()
{
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
    else
        m_timer.stop();
}

} // namespace vidmora::platform
