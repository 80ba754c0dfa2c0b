// CArchive: the binary stream in which records are written and read. Numbers are little-endian;
// texts carry a one-, three- or seven-byte length prefix; objects are framed with class tags
// (see docs/data-format.md for the bytes).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "wardlet/platform/File.h"
#include "wardlet/platform/Object.h"
#include "wardlet/platform/String.h"

class CArchiveException : public CException {
public:
    enum Cause {
        none,
        genericException,
        badIndex,
        badClass,
        badSchema,
        endOfFile,
        writeOnly,
        readOnly
    };
    CArchiveException(Cause cause, const CString& message);
    Cause m_cause;
};

class CArchive {
public:
    enum Mode : unsigned { store = 0, load = 1 };
    static constexpr unsigned kDefaultBufferSize = 4096;
    // The longest text a loading archive takes: longer ones throw endOfFile unread.
    static constexpr uint32_t kMaxTextLength = 64u << 20;

    // The archive reads from or writes to `file`, which must stay open while the archive lives.
    CArchive(CFile* file, unsigned mode, unsigned bufferSize = kDefaultBufferSize);
    // A storing archive that was not closed is flushed; errors are swallowed here, so call Close
    // to learn of them.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_bLoading; }
    bool IsStoring() const { return !m_bLoading; }
    CFile* GetFile() const { return m_pFile; }

    // Flushes a storing archive (throws CFileException on a write error) and detaches the file.
    void Close();
    // Detaches without flushing; never throws.
    void Abort();
    void Flush();

    // Raw bytes. Read throws endOfFile unless all `count` bytes are there.
    void Write(const void* bytes, unsigned count);
    void Read(void* bytes, unsigned count);
    // Bytes that can still be read: what the buffer holds plus what the file holds beyond it,
    // and no more than the load limit leaves. The maximum of uint64_t when the file's size is
    // unknown (a pipe, a socket) and no limit is set.
    uint64_t BytesRemaining() const;
    // Caps the bytes this loading archive hands out from now on at `bytes`; reading past them
    // throws endOfFile. Returns the cap that was set before (the maximum of uint64_t for none).
    uint64_t SetLoadLimit(uint64_t bytes);

    CArchive& operator<<(uint8_t value);
    CArchive& operator<<(uint16_t value);
    CArchive& operator<<(int32_t value);
    CArchive& operator<<(uint32_t value);
    CArchive& operator>>(uint8_t& value);
    CArchive& operator>>(uint16_t& value);
    CArchive& operator>>(int32_t& value);
    CArchive& operator>>(uint32_t& value);

    // Texts: a length prefix, then the bytes without terminator. A length running past the end of
    // the stream, or longer than kMaxTextLength, throws endOfFile before anything is allocated.
    // Where the stream's end is unknown, the text grows in bounded steps as its bytes arrive, so
    // memory follows the bytes actually received.
    CArchive& operator<<(const CString& text);
    CArchive& operator>>(CString& text);

    // Element counts of lists: 16 bits, or 0xFFFF followed by 32 bits.
    void WriteCount(uint32_t count);
    uint32_t ReadCount();

    // Writes an object with its class tag (a new class the first time, a back-reference after),
    // or a back-reference to an object already written; null writes the null tag.
    void WriteObject(const CObject* object);
    // Reads a tagged object. A new object is created by class name and its Serialize called; a
    // back-reference returns the object read before. Throws badClass for an unknown class or one
    // not derived from `requested` (when given), badSchema for a schema the class does not have,
    // badIndex for a reference to nothing. The caller owns a newly created object.
    CObject* ReadObject(const CRuntimeClass* requested);
    // Like ReadObject for lists that own their elements: the object must be new (not null, not a
    // back-reference) and of class `requested` or derived from it, else badClass/badIndex.
    CObject* ReadOwnedObject(const CRuntimeClass* requested);

private:
    struct LoadEntry {
        const CRuntimeClass* pClass;  // set for a class entry
        CObject* pObject;             // set for an object entry
    };

    void FillBuffer(unsigned wanted);
    std::string ReadTextBytes(uint32_t length);
    void WriteClass(const CRuntimeClass* pClass);
    const CRuntimeClass* ReadClass(const CRuntimeClass* requested, uint32_t* objectTag);
    uint32_t NextMapIndex();
    [[noreturn]] void Fail(CArchiveException::Cause cause, const char* message) const;

    CFile* m_pFile;
    bool m_bLoading;
    std::unique_ptr<unsigned char[]> m_buffer;
    unsigned m_bufferSize;
    unsigned m_bufferPos = 0;   // next byte to read or write
    unsigned m_bufferFill = 0;  // loading: bytes valid in the buffer
    uint32_t m_nMapCount = 1;   // one index counter for classes and objects; 0 is the null tag
    std::unordered_map<const void*, uint32_t> m_storeMap;  // class or object -> index
    std::vector<LoadEntry> m_loadArray;                    // index -> class or object
    bool m_lastObjectWasNew = false;
    uint64_t m_fileBytesLeft = 0;           // loading: bytes of the file not yet in the buffer
    uint64_t m_loadLimitLeft = UINT64_MAX;  // loading: bytes the caller may still be handed
};
