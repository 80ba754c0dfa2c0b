#include "platform/Cp936.h"

#include <iconv.h>

#include <cerrno>
#include <utility>

namespace {

std::optional<std::string> Convert(const char* to, const char* from, std::string_view text) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(text.size() * 2 + 4, '\0');  // grown on demand below
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    size_t outUsed = 0;
    bool ok = true;
    while (inLeft > 0) {
        char* outPtr = out.data() + outUsed;
        size_t outLeft = out.size() - outUsed;
        size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        outUsed = out.size() - outLeft;
        if (result != static_cast<size_t>(-1)) break;
        if (errno != E2BIG) {
            ok = false;
            break;
        }
        out.resize(out.size() * 2);
    }
    iconv_close(converter);
    if (!ok) return std::nullopt;
    out.resize(outUsed);
    return out;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// The UTF-8 of the one CP936 character at the start of `rest` (one or two bytes), with how many
// bytes it took; nothing when no character starts there.
std::optional<std::pair<std::string, size_t>> DecodeOneCharacter(std::string_view rest) {
    for (size_t length = 1; length <= 2 && length <= rest.size(); ++length) {
        if (auto utf8 = Convert("UTF-8", "CP936", rest.substr(0, length)); utf8 && !utf8->empty()) {
            return std::pair{std::move(*utf8), length};
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> Cp936FromUtf8(std::string_view utf8) {
    return Convert("CP936", "UTF-8", utf8);
}

std::optional<std::string> Utf8FromCp936(std::string_view cp936) {
    return Convert("UTF-8", "CP936", cp936);
}

std::string Utf8FromCp936Replacing(std::string_view cp936) {
    if (auto whole = Utf8FromCp936(cp936)) return std::move(*whole);
    // Only damaged text gets here: character by character costs nothing that matters.
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

bool Cp936Contains(std::string_view text, std::string_view part) {
    for (size_t i = 0;;) {
        if (text.substr(i, part.size()) == part) return true;
        if (i >= text.size()) return false;
        const auto lead = static_cast<unsigned char>(text[i]);
        // A lead byte 0x81..0xFE starts a two-byte character.
        i += (lead >= 0x81 && lead <= 0xFE && i + 1 < text.size()) ? 2 : 1;
    }
}
