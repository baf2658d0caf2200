#include "platform/Clock.h"

#include <windows.h>
#include <mmsystem.h>

namespace vialto::platform {

// The multimedia clock: milliseconds since the system started, wrapping after about 49.7 days.
uint32_t MillisecondClock() { return static_cast<uint32_t>(timeGetTime()); }

}  // namespace vialto::platform
