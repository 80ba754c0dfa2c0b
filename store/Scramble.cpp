#include "store/Scramble.h"

#include "store/StoreFormat.h"

CString ScrambleString(const CString& text) {
    std::string bytes = text.Bytes();
    for (char& byte : bytes) byte = static_cast<char>(byte ^ kScrambleKey);
    return CString(std::move(bytes));
}
