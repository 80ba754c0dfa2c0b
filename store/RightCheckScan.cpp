#include "store/RightCheckScan.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "module/WardletApp.h"
#include "platform/ArchiveTags.h"
#include "platform/AtomicFile.h"
#include "store/FileMutexHold.h"
#include "store/Scramble.h"
#include "wardlet/store/InfoGroup.h"
#include "wardlet/store/InfoGroupOper.h"
#include "wardlet/store/InfoGroupUser.h"
#include "wardlet/store/InfoUser.h"

namespace {

// What stands at each index of the archive's map: an object, or the class of one of the lists.
enum MapEntry : uint8_t { kObject, kUserClass, kGroupClass, kGroupUserClass, kGroupOperClass };

// Little-endian reads that turn to failure at the end of the bytes; after a failure every read
// gives zero and ok() stays false.
class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t size) : m_pos(data), m_end(data + size) {}

    bool ok() const { return m_ok; }
    size_t Remaining() const { return static_cast<size_t>(m_end - m_pos); }

    const unsigned char* Take(size_t count) {
        if (!m_ok || count > Remaining()) {
            m_ok = false;
            return nullptr;
        }
        const unsigned char* at = m_pos;
        m_pos += count;
        return at;
    }
    uint8_t U8() {
        const unsigned char* at = Take(1);
        return at ? at[0] : 0;
    }
    uint16_t U16() {
        const unsigned char* at = Take(2);
        return at ? static_cast<uint16_t>(at[0] | (at[1] << 8)) : 0;
    }
    uint32_t U32() {
        const unsigned char* at = Take(4);
        return at ? static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
                        (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24)
                  : 0;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    // A text as it is stored (still scrambled).
    std::string_view Text() {
        uint32_t length = U8();
        if (length == kLongTextMarker) {
            length = U16();
            if (length == kWideTextMarker) m_ok = false;
            if (length == kHugeTextMarker) length = U32();
        }
        const unsigned char* at = Take(length);
        return at ? std::string_view(reinterpret_cast<const char*>(at), length)
                  : std::string_view();
    }
    uint32_t Count() {
        uint16_t count = U16();
        return count == kLongCountMarker ? U32() : count;
    }

private:
    const unsigned char* m_pos;
    const unsigned char* m_end;
    bool m_ok = true;
};

class Scanner {
public:
    Scanner(const std::vector<unsigned char>& file, const CString& userName)
        : m_in(file.data(), file.size()), m_scrambledName(ScrambleString(userName)) {
        m_map.push_back(kObject);  // index 0: the null tag
    }

    RightCheckFacts Run() {
        std::string_view name = m_in.Text();
        if (!m_in.ok()) return m_facts;
        m_facts.adminName = ScrambleString(CString(std::string(name)));
        std::string_view password = m_in.Text();
        if (!m_in.ok()) return m_facts;
        m_facts.adminPassword = ScrambleString(CString(std::string(password)));
        m_in.Take(12);  // the three edit flags
        ScanList(kUserClass, RUNTIME_CLASS(CInfoUser), &Scanner::User);
        ScanList(kGroupClass, RUNTIME_CLASS(CInfoGroup), &Scanner::Group);
        ScanList(kGroupUserClass, RUNTIME_CLASS(CInfoGroupUser), &Scanner::Membership);
        ScanList(kGroupOperClass, RUNTIME_CLASS(CInfoGroupOper), &Scanner::Grant);
        return m_facts;
    }

private:
    using Body = bool (Scanner::*)();

    void ScanList(MapEntry listClass, const CRuntimeClass* runtimeClass, Body body) {
        if (!m_in.ok()) return;
        for (uint32_t remaining = m_in.Count(); remaining > 0 && m_in.ok(); --remaining) {
            if (!ElementTag(listClass, runtimeClass)) return;
            m_map.push_back(kObject);
            if (!(this->*body)()) return;
        }
    }

    // An element of a list that owns its records: a new object of the list's class, announced by
    // that class's first appearance or by a reference to it. Nulls and references to objects
    // read before are damage.
    bool ElementTag(MapEntry listClass, const CRuntimeClass* runtimeClass) {
        uint16_t tag = m_in.U16();
        uint32_t fullTag = tag == kBigObjectTag ? m_in.U32()
                                                : (static_cast<uint32_t>(tag & kClassTag) << 16) |
                                                      (tag & ~kClassTag);
        if (!m_in.ok()) return false;
        if (tag == kNewClassTag) return NewClass(listClass, runtimeClass);
        if ((fullTag & kBigClassTag) == 0) return Fail();
        uint32_t index = fullTag & ~kBigClassTag;
        return index < m_map.size() && m_map[index] == listClass ? true : Fail();
    }

    bool NewClass(MapEntry listClass, const CRuntimeClass* runtimeClass) {
        uint16_t schema = m_in.U16();
        uint16_t nameLength = m_in.U16();
        if (nameLength > kMaxClassNameLength) return Fail();
        const unsigned char* name = m_in.Take(nameLength);
        if (name == nullptr || schema != runtimeClass->m_wSchema ||
            std::strlen(runtimeClass->m_lpszClassName) != nameLength ||
            std::memcmp(name, runtimeClass->m_lpszClassName, nameLength) != 0) {
            return Fail();
        }
        m_map.push_back(listClass);
        return true;
    }

    bool Fail() {
        m_in.Take(m_in.Remaining() + 1);
        return false;
    }

    // A record counts only once its whole body has been read, as a loaded record does.
    bool User() {
        int32_t id = m_in.I32();
        std::string_view name = m_in.Text();
        std::string_view password = m_in.Text();
        m_in.Text();  // remark
        int32_t kind = m_in.I32();
        int32_t from = m_in.I32();
        int32_t to = m_in.I32();
        if (!m_in.ok()) return false;
        if (!m_facts.userFound && name == m_scrambledName.View()) {
            m_facts.userFound = true;
            m_facts.userID = id;
            m_facts.userPassword = ScrambleString(CString(std::string(password)));
            m_facts.timeSectType = kind;
            m_facts.from = from;
            m_facts.to = to;
        }
        return true;
    }

    bool Group() {
        m_in.I32();
        m_in.Text();
        m_in.Text();
        return m_in.ok();
    }

    bool Membership() {
        int32_t groupID = m_in.I32();
        int32_t userID = m_in.I32();
        if (!m_in.ok()) return false;
        if (m_facts.userFound && userID == m_facts.userID) m_facts.userGroups.push_back(groupID);
        return true;
    }

    bool Grant() {
        int32_t groupID = m_in.I32();
        uint32_t code = m_in.U32();
        if (!m_in.ok()) return false;
        const std::vector<int32_t>& groups = m_facts.userGroups;
        if (std::find(groups.begin(), groups.end(), groupID) != groups.end()) {
            m_facts.grantedCodes.push_back(code);
        }
        return true;
    }

    ByteReader m_in;
    CString m_scrambledName;
    std::vector<uint8_t> m_map;
    RightCheckFacts m_facts;
};

}  // namespace

RightCheckFacts ScanForRightCheck(const std::vector<unsigned char>& file, const CString& userName) {
    return Scanner(file, userName).Run();
}

RightCheckFacts LoadRightCheckFacts(const CString& userName) {
    std::vector<unsigned char> bytes;
    {
        FileMutexHold hold;
        if (g_strDataSource.IsEmpty() || !ReadWholeFile(g_strDataSource.Bytes(), &bytes)) {
            return RightCheckFacts();
        }
    }
    return ScanForRightCheck(bytes, userName);
}
