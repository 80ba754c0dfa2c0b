#include "module/LoginSession.h"

#include <algorithm>

#include "module/AuditHook.h"
#include "module/WardletApp.h"
#include "platform/TimerQueue.h"

namespace {

// What a thread timer can wait: from the shortest interval the message loop honours to the
// longest a 32-bit signed millisecond count holds.
constexpr int64_t kShortestIntervalMs = 10;
constexpr int64_t kLongestIntervalMs = 0x7FFFFFFF;
constexpr int64_t kMillisecondsPerMinute = 60 * 1000;

}  // namespace

bool TakeLoginSlot() { return theApp.m_hSemaphore != nullptr && theApp.m_hSemaphore->TryWait(); }

void ReleaseLoginSlot() {
    // At the maximum count nothing changes: the slot was free already.
    if (theApp.m_hSemaphore != nullptr) theApp.m_hSemaphore->Release(1);
}

uint32_t LogoutIntervalMs(int32_t minutes) {
    // Computed in 64 bits: minutes from a foreign or damaged file must not overflow.
    const int64_t interval = static_cast<int64_t>(minutes) * kMillisecondsPerMinute;
    return static_cast<uint32_t>(std::clamp(interval, kShortestIntervalMs, kLongestIntervalMs));
}

void StopLogoutTimer() { KillTimer(nullptr, theApp.m_nTimerID); }

void RestartLogoutTimer(int32_t minutes) {
    StopLogoutTimer();
    theApp.m_nTimerID = SetTimer(nullptr, 0, LogoutIntervalMs(minutes), AutoLogoutTimerProc);
}

void AutoLogoutTimerProc(void* /*window*/, uint32_t /*message*/, uintptr_t /*timerID*/,
                         uint32_t /*tickCount*/) {
    StopLogoutTimer();  // fires once
    if (!TakeLoginSlot()) {
        WriteAudit({.event = "logout",
                    .user = theApp.m_strCurUser,
                    .outcome = "logged-out",
                    .via = "timer"});
        theApp.m_strCurUser.Empty();
        theApp.m_strCurPassword.Empty();
        theApp.m_nCurUserID.reset();
    }
    // Ends the login, or gives back the count just taken.
    ReleaseLoginSlot();
}
