#include "platform/event_pump.h"

#include <QCoreApplication>

namespace vidmora::platform {

void pumpEventsOnce()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace vidmora::platform
