// The message pump of the dialog platform (libwardletui.so), for hosts without a GUI event loop of
// their own. The library's automatic logout is a thread timer: it fires only while the thread that
// calls the library runs a message loop. A widget host's event loop does that by itself; any other
// host calls PumpMessages from its own loop, on that thread, whenever it waits.
#pragma once

#include <cstdint>

extern "C" {

// Handles pending window-system events and runs the calling thread's timers that are due, as one
// turn of a message loop. Never blocks.
__attribute__((visibility("default"))) void PumpMessages(void);

// Milliseconds until the calling thread's next timer is due (0 when one is due now), or -1 when it
// has none: how long a host may wait before it calls PumpMessages again.
__attribute__((visibility("default"))) int32_t NextTimerDueIn(void);

}  // extern "C"
