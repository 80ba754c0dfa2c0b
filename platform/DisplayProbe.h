// Whether the window system the GUI toolkit would pick can be reached. The toolkit aborts the
// process when it cannot connect to its display; the host must never be ended by a dialog.
#pragma once

#include <string>

// Why the toolkit could not show windows with this environment, or "" when it can (or when it
// cannot be told in advance: an explicitly chosen platform, a remote X display).
std::string WhyDisplayUnreachable();

// True if a local X display such as ":0", ":1.0" or "unix:2" accepts connections on its socket;
// false for local displays that do not and for text that names no display. Remote displays
// ("host:0") are taken as reachable: probing them could block on the network.
bool XDisplayReachable(const std::string& display);
