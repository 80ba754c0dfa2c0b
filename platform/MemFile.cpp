#include "wardlet/platform/MemFile.h"

#include <algorithm>
#include <cstring>

CMemFile::CMemFile(const void* bytes, size_t size)
    : m_bytes(static_cast<const unsigned char*>(bytes),
              static_cast<const unsigned char*>(bytes) + size) {}

bool CMemFile::Open(const char*, unsigned, CFileException* error) {
    // A memory file has no path to open.
    if (error) *error = CFileException(CFileException::genericException, 0, "memory file");
    return false;
}

unsigned CMemFile::Read(void* buffer, unsigned count) {
    size_t available = m_bytes.size() - m_position;
    size_t n = std::min<size_t>(count, available);
    if (n > 0) std::memcpy(buffer, m_bytes.data() + m_position, n);
    m_position += n;
    return static_cast<unsigned>(n);
}

void CMemFile::Write(const void* buffer, unsigned count) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    size_t end = m_position + count;
    if (end > m_bytes.size()) m_bytes.resize(end);
    std::copy(bytes, bytes + count, m_bytes.begin() + static_cast<ptrdiff_t>(m_position));
    m_position = end;
}
