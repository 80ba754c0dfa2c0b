#pragma once

#include <cstddef>

#include "wardlet/platform/File.h"

// A read-only file over bytes it does not own, so that a store read whole into memory is parsed
// where it lies instead of being copied once more. The bytes must outlive the file.
class ByteViewFile : public CFile {
public:
    ByteViewFile(const unsigned char* bytes, size_t size) : m_bytes(bytes), m_size(size) {}

    bool Open(const char* path, unsigned openFlags, CFileException* error = nullptr) override;
    unsigned Read(void* buffer, unsigned count) override;
    void Write(const void* buffer, unsigned count) override;
    uint64_t GetLength() const override { return m_size; }
    uint64_t GetPosition() const override { return m_position; }
    void Flush() override {}
    void Close() override {}
    void Abort() override {}

private:
    const unsigned char* m_bytes;
    size_t m_size;
    size_t m_position = 0;
};
