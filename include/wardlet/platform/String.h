// CString: a counted byte string. Texts are code page 936 bytes; lengths count bytes, embedded
// zero bytes are kept, and comparison is byte-wise and case-sensitive.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

class CString {
public:
    CString() = default;
    CString(const char* psz) : m_bytes(psz ? psz : "") {}  // NOLINT: implicit, as hosts expect
    CString(const char* bytes, int length) : m_bytes(bytes, length > 0 ? length : 0) {}
    explicit CString(std::string bytes) : m_bytes(std::move(bytes)) {}

    int GetLength() const { return static_cast<int>(m_bytes.size()); }
    bool IsEmpty() const { return m_bytes.empty(); }
    void Empty() { m_bytes.clear(); }

    // The bytes, zero-terminated (an embedded zero ends the text for C callers).
    operator const char*() const { return m_bytes.c_str(); }  // NOLINT: implicit by design
    const char* GetString() const { return m_bytes.c_str(); }
    std::string_view View() const { return m_bytes; }
    const std::string& Bytes() const { return m_bytes; }

    // Strip leading / trailing white space (space, tab, CR, LF, VT, FF). Safe on code page 936:
    // no byte of a double-byte character is one of these.
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim() { return TrimRight().TrimLeft(); }

    char GetAt(int index) const { return m_bytes.at(static_cast<size_t>(index)); }

    CString& operator=(const char* psz) {
        m_bytes = psz ? psz : "";
        return *this;
    }
    CString& operator+=(const CString& other) {
        m_bytes += other.m_bytes;
        return *this;
    }
    CString& operator+=(const char* psz) {
        if (psz) m_bytes += psz;
        return *this;
    }

    // Replaces the text with printf-style output.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));

    friend CString operator+(const CString& a, const CString& b) {
        return CString(a.m_bytes + b.m_bytes);
    }
    friend bool operator==(const CString& a, const CString& b) { return a.m_bytes == b.m_bytes; }
    friend bool operator==(const CString& a, const char* b) { return a.m_bytes == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const CString& b) { return !(b == a); }

private:
    std::string m_bytes;
};
