// The notice text arrives as CP936 bytes from a caller we cannot vouch for.
#pragma once

#include <string>
#include <string_view>

// Returns the UTF-8 form of the CP936 bytes `cp936`. A byte that starts no valid CP936 character
// becomes U+FFFD and decoding resumes at the next byte, so a damaged notice still shows what it
// can instead of nothing.
std::string NoticeTextFromCp936(std::string_view cp936);
