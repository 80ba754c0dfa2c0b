#include "wardlet/platform/String.h"

#include <cstdarg>
#include <cstdio>

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) {
        m_bytes.clear();
    } else {
        m_bytes.resize(static_cast<size_t>(length));
        std::vsnprintf(m_bytes.data(), m_bytes.size() + 1, format, args);
    }
    va_end(args);
}

namespace {

constexpr char kWhiteSpace[] = " \t\r\n\v\f";

}  // namespace

CString& CString::TrimLeft() {
    m_bytes.erase(0, m_bytes.find_first_not_of(kWhiteSpace));
    return *this;
}

CString& CString::TrimRight() {
    const size_t last = m_bytes.find_last_not_of(kWhiteSpace);
    m_bytes.erase(last == std::string::npos ? 0 : last + 1);
    return *this;
}
