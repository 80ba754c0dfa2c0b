// Lets the GUI toolkit's event loops (the host's, a modal dialog's, a message box's) dispatch the
// thread timers: one toolkit timer, re-armed for whenever the next thread timer is due.
#pragma once

// Re-arms the toolkit timer after the thread timers changed. Does nothing when the calling thread
// has no application object; PumpMessages dispatches the timers then.
void ArmEventLoopTimer();
