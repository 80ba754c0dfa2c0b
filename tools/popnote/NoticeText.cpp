#include "NoticeText.h"

#include <optional>
#include <utility>

#include "platform/Cp936.h"

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// The UTF-8 of the one CP936 character at the start of `rest` (one or two bytes), with how many
// bytes it took; nothing when no character starts there.
std::optional<std::pair<std::string, size_t>> DecodeOneCharacter(std::string_view rest) {
    for (size_t length = 1; length <= 2 && length <= rest.size(); ++length) {
        if (auto utf8 = Utf8FromCp936(rest.substr(0, length)); utf8 && !utf8->empty()) {
            return std::pair{std::move(*utf8), length};
        }
    }
    return std::nullopt;
}

}  // namespace

std::string NoticeTextFromCp936(std::string_view cp936) {
    if (auto whole = Utf8FromCp936(cp936)) return std::move(*whole);
    // Only damaged text gets here, so converting it character by character costs nothing that
    // matters.
    std::string utf8;
    while (!cp936.empty()) {
        if (auto decoded = DecodeOneCharacter(cp936)) {
            utf8 += decoded->first;
            cp936.remove_prefix(decoded->second);
        } else {
            utf8 += kReplacement;
            cp936.remove_prefix(1);
        }
    }
    return utf8;
}
