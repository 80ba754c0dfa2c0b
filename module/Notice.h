// Every message of the library to the operator goes through ShowNotice. It starts the notice
// program and returns at once; only when the program cannot be started does it fall back to a
// modal message box (or, with no display, to standard error).
#pragma once

#include "wardlet/platform/String.h"

// The notice program: the one installed beside this library (in the bin/ folder next to the
// library's lib/ folder) first, else the first one in an absolute folder of PATH. Its name is part
// of what the library shows in the fallback box ("Popnote.exe " and the text).
inline constexpr const char kNoticeProgram[] = "Popnote.exe";

// Shows `text` (CP936) to the operator. The text reaches the notice program unchanged, as one
// argument; no shell ever sees it.
void ShowNotice(const CString& text);
