#include "resources/Cp936Text.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Cp936.h"

CString Cp936Text(std::string_view utf8) {
    std::optional<std::string> bytes = Cp936FromUtf8(utf8);
    if (!bytes) {
        std::fprintf(stderr,
                     "wardlet: cannot convert built-in texts to code page 936 "
                     "(are the C library's iconv converters installed?)\n");
        std::abort();
    }
    return CString(std::move(*bytes));
}
