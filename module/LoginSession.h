// The login session of the workstation: who is logged in, the login slot shared by every process
// of the host program, and the automatic logout.
#pragma once

#include <cstdint>

// Non-blocking test of the login slot. True means nobody was logged in and the caller now holds
// the slot: it must give it back with ReleaseLoginSlot unless it is logging somebody in. False
// means somebody is logged in (in this or another process of the host), or that the slot does not
// exist yet because no data source was set.
bool TakeLoginSlot();
void ReleaseLoginSlot();

// Stops the automatic-logout timer and starts it afresh for `minutes` of the stored settings.
void RestartLogoutTimer(int32_t minutes);
// Stops the automatic-logout timer, if it runs.
void StopLogoutTimer();
// The timer's interval: `minutes` of the settings, kept within what a thread timer can wait.
uint32_t LogoutIntervalMs(int32_t minutes);

// The automatic logout, run by the thread's message loop when the interval has elapsed: ends the
// login silently, leaving the status text of the last login or logout as it was.
void AutoLogoutTimerProc(void* window, uint32_t message, uintptr_t timerID, uint32_t tickCount);
