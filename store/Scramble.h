#pragma once

#include "wardlet/platform/String.h"

// The stored form of a text: every byte XORed with the scramble key. Its own inverse; the result
// has the same length (a byte equal to the key becomes a zero byte, which the length keeps).
CString ScrambleString(const CString& text);
