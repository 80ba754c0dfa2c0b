// CFile: a binary file over a path, and the exceptions the file and archive classes raise.
#pragma once

#include <cstdint>
#include <exception>

#include "wardlet/platform/String.h"

class CException : public std::exception {
public:
    const char* what() const noexcept override { return m_strMessage; }

protected:
    explicit CException(CString message) : m_strMessage(std::move(message)) {}
    CString m_strMessage;
};

class CFileException : public CException {
public:
    enum Cause { none, genericException, fileNotFound, accessDenied, endOfFile, diskFull };
    CFileException(Cause cause, int osError, const CString& fileName);
    Cause m_cause;
    int m_lOsError;  // errno, 0 if none
    CString m_strFileName;
};

class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,  // accepted for compatibility; Linux has no mandatory sharing
        modeCreate = 0x1000,      // create, truncating an existing file
    };

    CFile() = default;
    // Opens the file or throws CFileException.
    CFile(const char* path, unsigned openFlags);
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens the file; on failure returns false and fills `error` when given.
    virtual bool Open(const char* path, unsigned openFlags, CFileException* error = nullptr);
    // Reads up to `count` bytes; returns how many were read, 0 at the end. Throws on an I/O error.
    virtual unsigned Read(void* buffer, unsigned count);
    // Writes all `count` bytes or throws.
    virtual void Write(const void* buffer, unsigned count);
    virtual uint64_t GetLength() const;
    virtual uint64_t GetPosition() const;
    virtual void Flush();
    // Closes the file; throws if closing reports an error. Abort closes and never throws.
    virtual void Close();
    virtual void Abort();

    bool IsOpen() const { return m_hFile >= 0; }

protected:
    int m_hFile = -1;
    CString m_strFileName;
};
