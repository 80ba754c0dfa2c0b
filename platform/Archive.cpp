#include "wardlet/platform/Archive.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "platform/ArchiveTags.h"

CArchiveException::CArchiveException(Cause cause, const CString& message)
    : CException(message), m_cause(cause) {}

CArchive::CArchive(CFile* file, unsigned mode, unsigned bufferSize)
    : m_pFile(file),
      m_bLoading((mode & load) != 0),
      m_buffer(new unsigned char[std::max(bufferSize, 16u)]),
      m_bufferSize(std::max(bufferSize, 16u)) {
    m_loadArray.push_back({nullptr, nullptr});  // index 0: the null tag
    if (m_bLoading) {
        try {
            uint64_t length = m_pFile->GetLength();
            uint64_t position = m_pFile->GetPosition();
            m_fileBytesLeft = length > position ? length - position : 0;
        } catch (const CFileException&) {
            m_fileBytesLeft = std::numeric_limits<uint64_t>::max();  // not a sized file
        }
    }
}

CArchive::~CArchive() {
    if (m_pFile == nullptr) return;
    try {
        Close();
    } catch (const CException&) {
        // A destructor cannot report; callers that care call Close themselves.
    }
}

void CArchive::Close() {
    if (m_pFile == nullptr) return;
    if (!m_bLoading) Flush();
    m_pFile = nullptr;
}

void CArchive::Abort() { m_pFile = nullptr; }

void CArchive::Flush() {
    if (m_bLoading || m_pFile == nullptr || m_bufferPos == 0) return;
    unsigned pending = m_bufferPos;
    m_bufferPos = 0;
    m_pFile->Write(m_buffer.get(), pending);
}

void CArchive::Fail(CArchiveException::Cause cause, const char* message) const {
    throw CArchiveException(cause, message);
}

void CArchive::Write(const void* bytes, unsigned count) {
    if (m_bLoading) Fail(CArchiveException::readOnly, "archive: writing to a loading archive");
    const auto* in = static_cast<const unsigned char*>(bytes);
    if (count <= m_bufferSize - m_bufferPos) {
        std::memcpy(m_buffer.get() + m_bufferPos, in, count);
        m_bufferPos += count;
        return;
    }
    Flush();
    if (count >= m_bufferSize) {
        m_pFile->Write(in, count);
    } else {
        std::memcpy(m_buffer.get(), in, count);
        m_bufferPos = count;
    }
}

void CArchive::Read(void* bytes, unsigned count) {
    if (!m_bLoading) Fail(CArchiveException::writeOnly, "archive: reading from a storing archive");
    if (count > m_loadLimitLeft) {
        Fail(CArchiveException::endOfFile, "archive: more data than the load limit allows");
    }
    m_loadLimitLeft -= count;
    auto* out = static_cast<unsigned char*>(bytes);
    unsigned buffered = std::min(count, m_bufferFill - m_bufferPos);
    std::memcpy(out, m_buffer.get() + m_bufferPos, buffered);
    m_bufferPos += buffered;
    out += buffered;
    count -= buffered;
    if (count == 0) return;

    if (count >= m_bufferSize) {
        unsigned got = m_pFile->Read(out, count);
        m_fileBytesLeft -= std::min<uint64_t>(got, m_fileBytesLeft);
        if (got < count) Fail(CArchiveException::endOfFile, "archive: unexpected end of data");
        return;
    }
    m_bufferFill = m_pFile->Read(m_buffer.get(), m_bufferSize);
    m_fileBytesLeft -= std::min<uint64_t>(m_bufferFill, m_fileBytesLeft);
    m_bufferPos = 0;
    if (m_bufferFill < count) {
        m_bufferPos = m_bufferFill;
        Fail(CArchiveException::endOfFile, "archive: unexpected end of data");
    }
    std::memcpy(out, m_buffer.get(), count);
    m_bufferPos = count;
}

uint64_t CArchive::BytesRemaining() const {
    uint64_t buffered = m_bufferFill - m_bufferPos;
    const uint64_t inFile = m_fileBytesLeft > std::numeric_limits<uint64_t>::max() - buffered
                                ? std::numeric_limits<uint64_t>::max()
                                : m_fileBytesLeft + buffered;
    return std::min(inFile, m_loadLimitLeft);
}

uint64_t CArchive::SetLoadLimit(uint64_t bytes) { return std::exchange(m_loadLimitLeft, bytes); }

// Numbers: little-endian whatever the host's byte order.
CArchive& CArchive::operator<<(uint8_t value) {
    Write(&value, 1);
    return *this;
}

CArchive& CArchive::operator<<(uint16_t value) {
    unsigned char bytes[2] = {static_cast<unsigned char>(value),
                              static_cast<unsigned char>(value >> 8)};
    Write(bytes, 2);
    return *this;
}

CArchive& CArchive::operator<<(uint32_t value) {
    unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    Write(bytes, 4);
    return *this;
}

CArchive& CArchive::operator<<(int32_t value) { return *this << static_cast<uint32_t>(value); }

CArchive& CArchive::operator>>(uint8_t& value) {
    Read(&value, 1);
    return *this;
}

CArchive& CArchive::operator>>(uint16_t& value) {
    unsigned char bytes[2];
    Read(bytes, 2);
    value = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
    return *this;
}

CArchive& CArchive::operator>>(uint32_t& value) {
    unsigned char bytes[4];
    Read(bytes, 4);
    value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
            (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return *this;
}

CArchive& CArchive::operator>>(int32_t& value) {
    uint32_t raw;
    *this >> raw;
    value = static_cast<int32_t>(raw);
    return *this;
}

CArchive& CArchive::operator<<(const CString& text) {
    uint32_t length = static_cast<uint32_t>(text.GetLength());
    if (length < kLongTextMarker) {
        *this << static_cast<uint8_t>(length);
    } else if (length < kWideTextMarker) {
        *this << kLongTextMarker << static_cast<uint16_t>(length);
    } else {
        *this << kLongTextMarker << kHugeTextMarker << length;
    }
    Write(text.GetString(), length);
    return *this;
}

CArchive& CArchive::operator>>(CString& text) {
    uint8_t shortLength;
    *this >> shortLength;
    uint32_t length = shortLength;
    if (shortLength == kLongTextMarker) {
        uint16_t longLength;
        *this >> longLength;
        if (longLength == kWideTextMarker) {
            Fail(CArchiveException::genericException, "archive: wide-character text");
        }
        length = longLength;
        if (longLength == kHugeTextMarker) *this >> length;
    }
    // Checked before allocating: a damaged prefix must not ask for gigabytes.
    if (length > kMaxTextLength) {
        Fail(CArchiveException::endOfFile, "archive: text longer than any store holds");
    }
    if (length > BytesRemaining()) {
        Fail(CArchiveException::endOfFile, "archive: text runs past the end of data");
    }
    text = CString(ReadTextBytes(length));
    return *this;
}

std::string CArchive::ReadTextBytes(uint32_t length) {
    std::string bytes;
    if (BytesRemaining() != std::numeric_limits<uint64_t>::max()) {
        bytes.resize(length);
        Read(bytes.data(), length);
        return bytes;
    }
    // The end is unknown: grow by what has arrived so far (at least 64 KiB), so that a prefix
    // claiming far more than the peer sends ends at the end of its data, having allocated little.
    constexpr size_t kFirstStep = 64u << 10;
    while (bytes.size() < length) {
        const size_t step =
            std::min<size_t>(length - bytes.size(), std::max(kFirstStep, bytes.size()));
        const size_t before = bytes.size();
        bytes.resize(before + step);
        Read(bytes.data() + before, static_cast<unsigned>(step));
    }
    return bytes;
}

void CArchive::WriteCount(uint32_t count) {
    if (count < kLongCountMarker) {
        *this << static_cast<uint16_t>(count);
    } else {
        *this << kLongCountMarker << count;
    }
}

uint32_t CArchive::ReadCount() {
    uint16_t shortCount;
    *this >> shortCount;
    if (shortCount != kLongCountMarker) return shortCount;
    uint32_t count;
    *this >> count;
    return count;
}

uint32_t CArchive::NextMapIndex() {
    if (m_nMapCount >= kMaxMapCount) Fail(CArchiveException::badIndex, "archive: too many objects");
    return m_nMapCount++;
}

void CArchive::WriteClass(const CRuntimeClass* pClass) {
    if (pClass->m_wSchema == kNotSerializable) {
        Fail(CArchiveException::badClass, "archive: class is not serialisable");
    }
    auto known = m_storeMap.find(pClass);
    if (known != m_storeMap.end()) {
        if (known->second < kBigObjectTag) {
            *this << static_cast<uint16_t>(kClassTag | known->second);
        } else {
            *this << kBigObjectTag << (kBigClassTag | known->second);
        }
        return;
    }
    uint16_t nameLength = static_cast<uint16_t>(std::strlen(pClass->m_lpszClassName));
    *this << kNewClassTag << pClass->m_wSchema << nameLength;
    Write(pClass->m_lpszClassName, nameLength);
    m_storeMap.emplace(pClass, NextMapIndex());
}

void CArchive::WriteObject(const CObject* object) {
    if (object == nullptr) {
        *this << kNullTag;
        return;
    }
    auto known = m_storeMap.find(object);
    if (known != m_storeMap.end()) {
        if (known->second < kBigObjectTag) {
            *this << static_cast<uint16_t>(known->second);
        } else {
            *this << kBigObjectTag << known->second;
        }
        return;
    }
    WriteClass(object->GetRuntimeClass());
    m_storeMap.emplace(object, NextMapIndex());
    const_cast<CObject*>(object)->Serialize(*this);
}

const CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* requested, uint32_t* objectTag) {
    uint16_t tag;
    *this >> tag;
    uint32_t fullTag;
    if (tag == kBigObjectTag) {
        *this >> fullTag;
    } else {
        fullTag = (static_cast<uint32_t>(tag & kClassTag) << 16) | (tag & ~kClassTag);
    }

    const CRuntimeClass* pClass = nullptr;
    if (tag == kNewClassTag) {
        uint16_t schema;
        uint16_t nameLength;
        *this >> schema >> nameLength;
        if (nameLength > kMaxClassNameLength || nameLength > BytesRemaining()) {
            Fail(CArchiveException::badClass, "archive: bad class name length");
        }
        char name[kMaxClassNameLength + 1] = {};
        Read(name, nameLength);
        pClass = CRuntimeClass::FromName(name);
        if (pClass == nullptr || std::strlen(name) != nameLength) {
            Fail(CArchiveException::badClass, "archive: unknown class");
        }
        if (pClass->m_wSchema != schema) {
            Fail(CArchiveException::badSchema, "archive: unsupported schema");
        }
        m_loadArray.push_back({pClass, nullptr});
        NextMapIndex();
    } else if (fullTag & kBigClassTag) {
        uint32_t index = fullTag & ~kBigClassTag;
        if (index == 0 || index >= m_loadArray.size() || m_loadArray[index].pClass == nullptr) {
            Fail(CArchiveException::badIndex, "archive: class reference to nothing");
        }
        pClass = m_loadArray[index].pClass;
    } else {
        *objectTag = fullTag;
        return nullptr;
    }
    if (requested != nullptr && !pClass->IsDerivedFrom(requested)) {
        Fail(CArchiveException::badClass, "archive: object of an unexpected class");
    }
    return pClass;
}

CObject* CArchive::ReadObject(const CRuntimeClass* requested) {
    m_lastObjectWasNew = false;
    uint32_t objectTag = 0;
    const CRuntimeClass* pClass = ReadClass(requested, &objectTag);
    if (pClass == nullptr) {
        if (objectTag == kNullTag) return nullptr;
        if (objectTag >= m_loadArray.size() || m_loadArray[objectTag].pObject == nullptr) {
            Fail(CArchiveException::badIndex, "archive: object reference to nothing");
        }
        CObject* earlier = m_loadArray[objectTag].pObject;
        if (requested != nullptr && !earlier->IsKindOf(requested)) {
            Fail(CArchiveException::badClass, "archive: object of an unexpected class");
        }
        return earlier;
    }

    CObject* object = pClass->CreateObject();
    if (object == nullptr) Fail(CArchiveException::badClass, "archive: class cannot be created");
    // Mapped before its body is read, so that references inside the body can name it.
    size_t index = m_loadArray.size();
    m_loadArray.push_back({nullptr, object});
    try {
        NextMapIndex();
        object->Serialize(*this);
    } catch (...) {
        m_loadArray[index].pObject = nullptr;
        delete object;
        throw;
    }
    m_lastObjectWasNew = true;
    return object;
}

CObject* CArchive::ReadOwnedObject(const CRuntimeClass* requested) {
    CObject* object = ReadObject(requested);
    if (object == nullptr) Fail(CArchiveException::badClass, "archive: empty list element");
    if (!m_lastObjectWasNew) {
        Fail(CArchiveException::badIndex, "archive: list element read twice");
    }
    return object;
}
