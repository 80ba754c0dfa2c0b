// Conversion between UTF-8 (our sources, terminals) and code page 936 (every text the library
// stores or passes across its interface).
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The CP936 bytes of a UTF-8 text, or nothing if it holds a character CP936 lacks or is not
// valid UTF-8.
std::optional<std::string> Cp936FromUtf8(std::string_view utf8);
// The UTF-8 form of CP936 bytes, or nothing if they are not valid CP936.
std::optional<std::string> Utf8FromCp936(std::string_view cp936);
// The UTF-8 form of CP936 bytes for showing: a byte that starts no valid CP936 character becomes
// U+FFFD and decoding resumes at the next byte, so damaged text still shows what it can.
std::string Utf8FromCp936Replacing(std::string_view cp936);

// True if `part` occurs in `text` starting on a character boundary of code page 936, so that a
// match never straddles the two bytes of one character. An empty `part` is found.
bool Cp936Contains(std::string_view text, std::string_view part);
