// Text between the terminal (UTF-8) and the library (code page 936), and the formats the commands
// print.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The code page 936 form of a command-line text; throws a usage CliError naming `what` when the
// text holds a character code page 936 lacks.
std::string LibraryText(std::string_view utf8, std::string_view what);
// A text from the library, safe to print: UTF-8, with control characters and bytes that are not
// code page 936 shown as \xNN.
std::string Printable(std::string_view cp936);

// 1 to 8 hexadecimal digits, with or without a 0x prefix.
std::optional<uint32_t> ParseRightCode(std::string_view text);
std::string FormatCode(uint32_t code);

// Local times as HH:MM:SS and YYYY-MM-DD HH:MM:SS.
std::string FormatTimeOfDay(int32_t seconds);
std::string FormatDateTime(int32_t seconds);
// "permanent", "daily window 08:00:00-17:00:00" or "period <from> to <to>".
std::string DescribeValidity(int32_t kind, int32_t from, int32_t to);

// Terminal columns a UTF-8 text takes: East Asian wide characters take two.
size_t DisplayWidth(std::string_view utf8);
std::string PadToWidth(std::string_view utf8, size_t width);
