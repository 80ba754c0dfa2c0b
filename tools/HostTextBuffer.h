#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>

#include "wardlet/platform/Archive.h"

// A buffer for the texts GetCurUserInfo and GetPassed write without a size. No stored or received
// text is longer than the archive takes, so this one holds any of them; its pages are only
// touched as far as a text reaches, so the room costs address space, not memory.
class HostTextBuffer {
public:
    static constexpr size_t kSize = size_t{CArchive::kMaxTextLength} + 1;

    // Holds `initialText` (at most kSize - 1 bytes) as a zero-terminated text, as GetPassed and
    // GetCurUserInfo read it on entry.
    explicit HostTextBuffer(std::string_view initialText = {}) : m_bytes(new char[kSize]) {
        const size_t length = std::min(initialText.size(), kSize - 1);
        initialText.copy(m_bytes.get(), length);
        m_bytes[length] = '\0';
    }
    char* data() { return m_bytes.get(); }
    const char* data() const { return m_bytes.get(); }

private:
    std::unique_ptr<char[]> m_bytes;
};
