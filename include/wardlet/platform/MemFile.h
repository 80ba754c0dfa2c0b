// CMemFile: a file held in memory. Built empty for writing, or over a copy of a byte buffer for
// reading (a host wraps the bytes that arrived from another station in one).
#pragma once

#include <cstddef>
#include <vector>

#include "wardlet/platform/File.h"

class CMemFile : public CFile {
public:
    CMemFile() = default;
    CMemFile(const void* bytes, size_t size);
    explicit CMemFile(std::vector<unsigned char> bytes) : m_bytes(std::move(bytes)) {}

    bool Open(const char* path, unsigned openFlags, CFileException* error = nullptr) override;
    unsigned Read(void* buffer, unsigned count) override;
    void Write(const void* buffer, unsigned count) override;
    uint64_t GetLength() const override { return m_bytes.size(); }
    uint64_t GetPosition() const override { return m_position; }
    void SeekToBegin() { m_position = 0; }
    void Flush() override {}
    void Close() override {}
    void Abort() override {}

    const std::vector<unsigned char>& Bytes() const { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
    size_t m_position = 0;
};
