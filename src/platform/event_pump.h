#pragma once

namespace vidmora::platform {

// One pass over the event queue of the calling thread: events already waiting
// are handled, then control comes back. The windows' single explicit pump.
void pumpEventsOnce();

} // namespace vidmora::platform
