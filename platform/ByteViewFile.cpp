#include "platform/ByteViewFile.h"

#include <algorithm>
#include <cstring>

bool ByteViewFile::Open(const char*, unsigned, CFileException* error) {
    if (error) *error = CFileException(CFileException::genericException, 0, "byte view");
    return false;
}

unsigned ByteViewFile::Read(void* buffer, unsigned count) {
    const size_t n = std::min<size_t>(count, m_size - m_position);
    if (n > 0) std::memcpy(buffer, m_bytes + m_position, n);
    m_position += n;
    return static_cast<unsigned>(n);
}

void ByteViewFile::Write(const void*, unsigned) {
    throw CFileException(CFileException::accessDenied, 0, "byte view");
}
