// Texts cross the widget boundary here: the library's texts are code page 936 bytes, the
// toolkit's are Unicode.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "wardlet/platform/String.h"

// The Unicode form of CP936 bytes; bytes that are not valid CP936 are shown as U+FFFD.
QString ToWidgetText(const CString& cp936);
// The CP936 bytes of a widget's text; a character that CP936 lacks becomes '?'.
CString FromWidgetText(const QString& text);
// The CP936 bytes of `text`, or nothing if it holds a character that CP936 lacks.
std::optional<std::string> Cp936Bytes(const QString& text);
