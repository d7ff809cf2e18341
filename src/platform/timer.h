#pragma once

#include <QObject>
#include <QTimer>

namespace vidmora::platform {

// The form runtime's timer control: an interval in milliseconds, an enabled
// switch and a tick. Interval 0 never ticks, whatever the switch says; changing
// either restarts the count, as the host's timer does.
class Timer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Timer)
public:
    explicit Timer(QObject *parent = nullptr);

    int Interval() const { return m_interval; }
    void setInterval(int ms);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on);

signals:
    void tick(); // the control's Timer event

private:
    void apply();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
};

} // namespace vidmora::platform
