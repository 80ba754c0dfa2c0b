#include "tools/CliText.h"

#include <cstdio>

#include "platform/Cp936.h"
#include "tools/Cli.h"
#include "wardlet/platform/Time.h"

namespace {

std::string HexEscape(unsigned char byte) {
    char escaped[5];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    return escaped;
}

bool IsControl(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

// Control characters from a data file must not reach the terminal as commands.
std::string EscapeControls(std::string_view utf8) {
    std::string out;
    for (unsigned char byte : utf8) {
        out += IsControl(byte) ? HexEscape(byte) : std::string(1, static_cast<char>(byte));
    }
    return out;
}

std::string EscapeNonAscii(std::string_view bytes) {
    std::string out;
    for (unsigned char byte : bytes) {
        bool plain = byte < 0x80 && !IsControl(byte);
        out += plain ? std::string(1, static_cast<char>(byte)) : HexEscape(byte);
    }
    return out;
}

int HexDigitValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

std::string TwoDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

// Decodes one UTF-8 sequence starting at `pos`, advancing it; malformed bytes count alone.
char32_t NextCodePoint(std::string_view utf8, size_t& pos) {
    unsigned char lead = static_cast<unsigned char>(utf8[pos++]);
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t point = extra == 0 ? lead : lead & (0x3F >> extra);
    for (; extra > 0 && pos < utf8.size(); --extra) {
        point = (point << 6) | (static_cast<unsigned char>(utf8[pos++]) & 0x3F);
    }
    return point;
}

bool IsWide(char32_t point) {
    return (point >= 0x1100 && point <= 0x115F) || (point >= 0x2E80 && point <= 0xA4CF) ||
           (point >= 0xAC00 && point <= 0xD7A3) || (point >= 0xF900 && point <= 0xFAFF) ||
           (point >= 0xFE30 && point <= 0xFE4F) || (point >= 0xFF00 && point <= 0xFF60) ||
           (point >= 0xFFE0 && point <= 0xFFE6) || (point >= 0x20000 && point <= 0x3FFFD);
}

}  // namespace

std::string LibraryText(std::string_view utf8, std::string_view what) {
    std::optional<std::string> cp936 = Cp936FromUtf8(utf8);
    if (!cp936) {
        throw CliError(kExitUsage, std::string(what) + " holds characters code page 936 lacks");
    }
    return *cp936;
}

std::string Printable(std::string_view cp936) {
    std::optional<std::string> utf8 = Utf8FromCp936(cp936);
    return utf8 ? EscapeControls(*utf8) : EscapeNonAscii(cp936);
}

std::optional<uint32_t> ParseRightCode(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t code = 0;
    for (char digit : text) {
        int value = HexDigitValue(digit);
        if (value < 0) return std::nullopt;
        code = (code << 4) | static_cast<uint32_t>(value);
    }
    return code;
}

std::string FormatCode(uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", code);
    return text;
}

std::string FormatTimeOfDay(int32_t seconds) {
    CTime time(seconds);
    return TwoDigits(time.GetHour()) + ":" + TwoDigits(time.GetMinute()) + ":" +
           TwoDigits(time.GetSecond());
}

std::string FormatDateTime(int32_t seconds) {
    CTime time(seconds);
    return std::to_string(time.GetYear()) + "-" + TwoDigits(time.GetMonth()) + "-" +
           TwoDigits(time.GetDay()) + " " + FormatTimeOfDay(seconds);
}

std::string DescribeValidity(int32_t kind, int32_t from, int32_t to) {
    switch (kind) {
        case 0:
            return "permanent";
        case 1:
            return "daily window " + FormatTimeOfDay(from) + "-" + FormatTimeOfDay(to);
        case 2:
            return "period " + FormatDateTime(from) + " to " + FormatDateTime(to);
        default:
            return "never valid (validity kind " + std::to_string(kind) + ")";
    }
}

size_t DisplayWidth(std::string_view utf8) {
    size_t width = 0;
    for (size_t pos = 0; pos < utf8.size();) width += IsWide(NextCodePoint(utf8, pos)) ? 2 : 1;
    return width;
}

std::string PadToWidth(std::string_view utf8, size_t width) {
    size_t used = DisplayWidth(utf8);
    return std::string(utf8) + std::string(used < width ? width - used : 0, ' ');
}
