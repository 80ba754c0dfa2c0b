// Texts of the system are written in UTF-8 in the sources and handed out as code page 936 bytes.
#pragma once

#include <string_view>

#include "wardlet/platform/String.h"

// The CP936 form of one of our own UTF-8 literals. The literals are fixed and convertible, so a
// failure means the C library's converters are missing: that is reported and ends the process
// rather than letting the library compare or show wrong bytes.
CString Cp936Text(std::string_view utf8);
