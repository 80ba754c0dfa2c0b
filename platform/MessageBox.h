// The modal message box: a text, a caption, an icon and an OK button.
#pragma once

#include "wardlet/platform/String.h"

// Style bits and results, with the values hosts' message boxes give them.
inline constexpr unsigned MB_OK = 0x0;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr unsigned MB_SETFOREGROUND = 0x10000;  // brought in front of every other window
inline constexpr unsigned MB_TOPMOST = 0x40000;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Shows `text` (CP936) under `caption` (CP936) in a modal box with an OK button and returns IDOK
// when the operator closes it. Its message loop dispatches the thread's timers meanwhile. `owner`
// must be null: the box belongs to no window. With no GUI, the caption and text go to standard
// error instead and IDOK is returned at once.
int MessageBoxA(void* owner, const char* text, const char* caption, unsigned type);

// The framework's own messages (data validation): a warning box captioned with the application's
// name.
int AfxMessageBox(const CString& text, unsigned type = MB_OK | MB_ICONEXCLAMATION);

// The application's name for AfxMessageBox's caption; set by the application object.
void AfxSetAppName(const char* appName);
const char* AfxGetAppName();
