// The GUI toolkit's application object. A host with a widget application of its own lends it to
// the library; a host without one gets one made here on the first dialog, and destroyed again when
// the library is unloaded.
#pragma once

#include <string>

namespace gui {

// Why no widget can be shown on the calling thread now, or "" when widgets can be shown. With no
// application object yet, a display is needed that the toolkit can reach (see DisplayProbe.h).
std::string WhyNoGui();

// Makes sure a widget application exists on the calling thread, making one if the host has none.
// Returns false, with the reason in `*whyNot`, when widgets cannot be shown; the toolkit is then
// not started, so a missing display never aborts the host.
bool EnsureApplication(std::string* whyNot);

// Destroys the application object made by EnsureApplication, never the host's. Called when the
// library is unloaded, on the thread that made it; at process exit the object is left to the
// ending process, since the toolkit's globals are gone by then.
void ReleaseApplication();

// True once the process has begun to exit after the toolkit was put to use: the toolkit's globals
// are being destroyed, and nothing may touch its objects any more. WatchForProcessExit arms it;
// call it after the toolkit's first use, so that the flag is set before the library's own
// shutdown runs.
bool ProcessExiting();
void WatchForProcessExit();

}  // namespace gui
