#include "platform/TimerQueue.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/EventLoopTimer.h"

namespace {

struct ThreadTimer {
    uintptr_t id;
    std::thread::id thread;
    int64_t interval;
    int64_t due;
    TIMERPROC proc;
};

std::mutex g_mutex;
std::vector<ThreadTimer> g_timers;  // guarded by g_mutex
uintptr_t g_lastID = 0;             // guarded by g_mutex
TimerQueue::Clock g_clock = nullptr;

int64_t SteadyMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// The timer `id` of the calling thread, or end. REQUIRES: g_mutex held.
std::vector<ThreadTimer>::iterator FindOwnTimer(uintptr_t id) {
    const std::thread::id self = std::this_thread::get_id();
    return std::find_if(g_timers.begin(), g_timers.end(), [&](const ThreadTimer& timer) {
        return timer.id == id && timer.thread == self;
    });
}

}  // namespace

uintptr_t SetTimer(void* window, uintptr_t /*timerID*/, uint32_t elapseMs, TIMERPROC proc) {
    if (window != nullptr || proc == nullptr) return 0;
    uintptr_t id;
    {
        std::lock_guard lock(g_mutex);
        do {
            id = ++g_lastID;
        } while (id == 0);
        g_timers.push_back(
            {id, std::this_thread::get_id(), elapseMs, TimerQueue::Now() + elapseMs, proc});
    }
    ArmEventLoopTimer();
    return id;
}

bool KillTimer(void* window, uintptr_t timerID) {
    if (window != nullptr) return false;
    {
        std::lock_guard lock(g_mutex);
        auto timer = FindOwnTimer(timerID);
        if (timer == g_timers.end()) return false;
        g_timers.erase(timer);
    }
    ArmEventLoopTimer();
    return true;
}

void TimerQueue::SetClock(Clock clock) { g_clock = clock; }

int64_t TimerQueue::Now() { return g_clock != nullptr ? g_clock() : SteadyMilliseconds(); }

int TimerQueue::DispatchDue() {
    const int64_t now = Now();
    const std::thread::id self = std::this_thread::get_id();
    std::vector<uintptr_t> due;
    {
        std::lock_guard lock(g_mutex);
        for (ThreadTimer& timer : g_timers) {
            if (timer.thread != self || timer.due > now) continue;
            due.push_back(timer.id);
            timer.due = now + std::max<int64_t>(timer.interval, 1);
        }
    }
    int fired = 0;
    for (uintptr_t id : due) {
        TIMERPROC proc = nullptr;
        {
            // An earlier callback may have killed this timer: a killed timer never fires.
            std::lock_guard lock(g_mutex);
            auto timer = FindOwnTimer(id);
            if (timer != g_timers.end()) proc = timer->proc;
        }
        if (proc == nullptr) continue;
        proc(nullptr, WM_TIMER, id, static_cast<uint32_t>(now));
        ++fired;
    }
    return fired;
}

int64_t TimerQueue::MillisecondsUntilNextDue() {
    const std::thread::id self = std::this_thread::get_id();
    std::lock_guard lock(g_mutex);
    int64_t next = -1;
    for (const ThreadTimer& timer : g_timers) {
        if (timer.thread != self) continue;
        if (next < 0 || timer.due < next) next = timer.due;
    }
    return next < 0 ? -1 : std::max<int64_t>(next - Now(), 0);
}
