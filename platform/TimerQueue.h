// Thread timers with a callback, as a host's message loop dispatches them: each timer belongs to
// the thread that set it and fires only while that thread runs a message loop (a modal dialog's,
// a message box's, the host's widget event loop, or PumpMessages).
#pragma once

#include <cstdint>

// The callback of a thread timer; the window is always null and the message WM_TIMER.
using TIMERPROC = void (*)(void* window, uint32_t message, uintptr_t timerID, uint32_t tickCount);
inline constexpr uint32_t WM_TIMER = 0x0113;

// Starts a timer of the calling thread that calls `proc` every `elapseMs` milliseconds until it is
// killed, and returns its identifier (never 0). Only window-less timers exist here: `window` must
// be null and `timerID` is ignored. Returns 0 when `window` is not null or `proc` is null.
uintptr_t SetTimer(void* window, uintptr_t timerID, uint32_t elapseMs, TIMERPROC proc);
// Stops the calling thread's timer `timerID`; false if it has no such timer.
bool KillTimer(void* window, uintptr_t timerID);

class TimerQueue {
public:
    // Milliseconds of a monotonic clock.
    using Clock = int64_t (*)();

    // The clock the queue schedules by; null restores the system's monotonic clock. For tests.
    static void SetClock(Clock clock);
    static int64_t Now();

    // Runs the calling thread's timers that are due, each at most once, and schedules each for its
    // next period. A callback may set and kill timers. Returns how many ran.
    static int DispatchDue();
    // Milliseconds until the calling thread's next timer is due (0 if one is due now); -1 if the
    // thread has none.
    static int64_t MillisecondsUntilNextDue();
};
