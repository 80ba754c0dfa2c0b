#include "store/RightCheckScan.h"

#include <endian.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/ArchiveTags.h"
#include "store/Scramble.h"
#include "wardlet/store/InfoGroup.h"
#include "wardlet/store/InfoGroupOper.h"
#include "wardlet/store/InfoGroupUser.h"
#include "wardlet/store/InfoUser.h"

namespace {

// The classes of the four lists, as they stand in the archive's map.
enum ListClass : uint8_t { kUserClass, kGroupClass, kGroupUserClass, kGroupOperClass };

// Equality of two byte runs of one length, without a library call: the users list compares the
// asked name with every stored name of the same length.
bool SameBytes(const char* a, const char* b, size_t count) {
    for (; count >= 8; a += 8, b += 8, count -= 8) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        if (x != y) return false;
    }
    for (; count > 0; ++a, ++b, --count) {
        if (*a != *b) return false;
    }
    return true;
}

uint16_t Load16(const unsigned char* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t Load32(const unsigned char* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

uint64_t Load64(const unsigned char* at) {
    uint64_t word;
    std::memcpy(&word, at, 8);
    return le64toh(word);
}

// Tells the stored names of the asked name's length apart from it by their last eight bytes:
// stored names often share their beginning ("operator-1", "operator-2"). Names shorter than eight
// bytes all pass on to the full comparison.
class NameProbe {
public:
    explicit NameProbe(std::string_view name)
        : m_length(name.size()),
          m_tail(name.size() >= 8
                     ? Load64(reinterpret_cast<const unsigned char*>(name.data()) + name.size() - 8)
                     : 0) {}

    // Whether the stored text of `length` bytes at `text` may be the asked name.
    bool MayBe(const unsigned char* text, size_t length) const {
        return length == m_length && (m_length < 8 || Load64(text + m_length - 8) == m_tail);
    }

private:
    size_t m_length;
    uint64_t m_tail;
};

// Little-endian reads that turn to failure at the end of the bytes. A failure moves to the end,
// so every later read fails too (or, for nothing, gives nothing) and ok() stays false.
class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t size) : m_pos(data), m_end(data + size) {}

    bool ok() const { return m_ok; }
    size_t Remaining() const { return static_cast<size_t>(m_end - m_pos); }
    const unsigned char* Here() const { return m_pos; }

    const unsigned char* Take(size_t count) {
        if (count > Remaining()) return Fail();
        const unsigned char* at = m_pos;
        m_pos += count;
        return at;
    }
    std::nullptr_t Fail() {
        m_pos = m_end;
        m_ok = false;
        return nullptr;
    }
    uint16_t U16() {
        const unsigned char* at = Take(2);
        return at ? Load16(at) : 0;
    }
    uint32_t U32() {
        const unsigned char* at = Take(4);
        return at ? Load32(at) : 0;
    }
    // A text as it is stored (still scrambled).
    std::string_view Text() {
        const unsigned char* at = Take(1);
        uint32_t length = at ? at[0] : 0;
        if (length == kLongTextMarker) {
            length = U16();
            if (length == kWideTextMarker) Fail();
            if (length == kHugeTextMarker) length = U32();
        }
        at = Take(length);
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

// The fields of a user record that a question needs.
struct UserFields {
    const unsigned char* id = nullptr;
    std::string_view name;
    std::string_view password;
    const unsigned char* period = nullptr;
};

// The length of the common user record at `at` (`remaining` bytes from there), whose three texts
// have one-byte lengths and which lies whole within the bytes; 0 for anything else, which is left
// to the general reads. Its name's length is at[4], and the name follows.
size_t ShortUserLength(const unsigned char* at, size_t remaining) {
    size_t offset = 4;  // the number
    for (int text = 0; text < 3; ++text) {
        if (offset >= remaining || at[offset] == kLongTextMarker) return 0;
        offset += 1 + at[offset];
    }
    if (remaining < offset || remaining - offset < 12) return 0;
    return offset + 12;
}

// The fewest bytes of a user record: its number, three empty texts and its validity period; and
// the most of one whose texts all have one-byte lengths.
constexpr size_t kShortestUser = 4 + 3 + 12;
constexpr size_t kLongestShortUser = 4 + 3 * (1 + 254) + 12;

// The fields of the common user record of `length` bytes at `at`.
UserFields ShortUserFields(const unsigned char* at, size_t length) {
    const size_t passwordAt = 5 + at[4];
    return UserFields{.id = at,
                      .name = std::string_view(reinterpret_cast<const char*>(at + 5), at[4]),
                      .password = std::string_view(
                          reinterpret_cast<const char*>(at + passwordAt + 1), at[passwordAt]),
                      .period = at + length - 12};
}

class Scanner {
public:
    Scanner(const unsigned char* file, size_t size, const CString& userName)
        : m_in(file, size), m_scrambledName(ScrambleString(userName)) {}

    RightCheckFacts Run() {
        std::string_view name = m_in.Text();
        if (!m_in.ok()) return m_facts;
        m_facts.adminName = ScrambleString(CString(std::string(name)));
        std::string_view password = m_in.Text();
        if (!m_in.ok()) return m_facts;
        m_facts.adminPassword = ScrambleString(CString(std::string(password)));
        m_in.Take(12);  // the three edit flags
        ScanList(
            kUserClass, RUNTIME_CLASS(CInfoUser), [this] { return User(); },
            [this](uint32_t remaining) { return FastUsers(remaining); });
        ScanList(
            kGroupClass, RUNTIME_CLASS(CInfoGroup), [this] { return Group(); },
            [](uint32_t remaining) { return remaining; });
        // The user is settled once the users are read: the memberships compare with a copy.
        const auto membership = [this, found = m_facts.userFound, wanted = m_facts.userID](
                                    int32_t groupID, uint32_t userID) {
            if (found && static_cast<int32_t>(userID) == wanted) {
                m_facts.userGroups.push_back(groupID);
            }
        };
        const auto grant = [this](int32_t groupID, uint32_t code) { NoteGrant(groupID, code); };
        ScanList(
            kGroupUserClass, RUNTIME_CLASS(CInfoGroupUser), [&] { return Link(membership); },
            [&](uint32_t remaining) { return FastLinks(kGroupUserClass, remaining, membership); });
        ScanList(
            kGroupOperClass, RUNTIME_CLASS(CInfoGroupOper), [&] { return Link(grant); },
            [&](uint32_t remaining) { return FastLinks(kGroupOperClass, remaining, grant); });
        if (!m_in.ok()) return m_facts;
        m_in.Take(4);  // the automatic-logout switch
        const unsigned char* minutes = m_in.Take(4);
        if (minutes != nullptr) m_facts.logoutMinutes = static_cast<int32_t>(Load32(minutes));
        return m_facts;
    }

private:
    // A class the archive's map holds, at its index. Indices only grow, so the entries stay
    // sorted by index.
    struct ClassEntry {
        uint32_t index;
        ListClass listClass;
    };

    // A list: each run of common elements is taken by `fast` (which returns how many elements
    // remain), and the element that ends a run is read the general way by `body`.
    template <typename Body, typename Fast>
    void ScanList(ListClass listClass, const CRuntimeClass* runtimeClass, Body body, Fast fast) {
        if (!m_in.ok()) return;
        for (uint32_t remaining = m_in.Count(); remaining > 0 && m_in.ok(); --remaining) {
            remaining = fast(remaining);
            if (remaining == 0) return;
            uint16_t tag = m_in.U16();
            // Most elements repeat the reference to their list's class: in 16 bits while the
            // archive's indices are small, else after the big-object tag in 32 bits.
            if (tag == m_shortClassTag[listClass] && tag != 0) {
                // known
            } else if (tag == kBigObjectTag) {
                uint32_t fullTag = m_in.U32();
                bool known = fullTag == m_bigClassTag[listClass] && fullTag != 0;
                if (!known && !ClassReference(fullTag, listClass)) return;
            } else if (!ElementTag(tag, listClass, runtimeClass)) {
                return;
            }
            ++m_mapCount;  // the element itself
            if (!body()) return;
        }
    }

    // The class reference that leads every element of a run, in the form the run's first element
    // has: its length (0 if the element starts otherwise) and its bytes as one little-endian word.
    struct RunTag {
        size_t length = 0;
        uint64_t bytes = 0;
        uint64_t mask = 0;

        // Whether the run's reference stands at `at`, which has 8 bytes to read.
        bool At(const unsigned char* at) const { return (Load64(at) & mask) == bytes; }
    };

    // The known reference to `listClass` that the element at `at` starts with, if it does: in 16
    // bits, or in 32 after the big-object tag.
    RunTag RunTagAt(const unsigned char* at, size_t available, ListClass listClass) const {
        const uint16_t shortTag = m_shortClassTag[listClass];
        const uint32_t bigTag = m_bigClassTag[listClass];
        if (available < 2) return {};
        const uint16_t tag = Load16(at);
        if (shortTag != 0 && tag == shortTag) return {2, shortTag, 0xFFFF};
        if (bigTag != 0 && tag == kBigObjectTag && available >= 6 && Load32(at + 2) == bigTag) {
            return {6, kBigObjectTag | (static_cast<uint64_t>(bigTag) << 16), 0xFFFF'FFFF'FFFF};
        }
        return {};
    }

    // Moves past `taken` elements of a run, `length` bytes in all; how many of `remaining` are
    // left.
    uint32_t TakeRun(uint32_t remaining, uint32_t taken, size_t length) {
        m_in.Take(length);
        m_mapCount += taken;
        return remaining - taken;
    }

    // The run of common users from here: of the short form, whole within the bytes. Each user's
    // place follows from the lengths of the texts before it, a chain of dependent reads that
    // bounds the scan, so the loops keep everything else off that chain.
    uint32_t FastUsers(uint32_t remaining) {
        const unsigned char* const start = m_in.Here();
        const unsigned char* const end = start + m_in.Remaining();
        const RunTag tag = RunTagAt(start, m_in.Remaining(), kUserClass);
        if (tag.length == 0) return remaining;
        const NameProbe probe(m_scrambledName.View());
        // The user of `length` bytes at `user`, if its name (length at user[4], then the bytes)
        // may be the one asked.
        const auto noteIfAsked = [&](const unsigned char* user, size_t length) {
            if (probe.MayBe(user + 5, user[4])) NoteUser(ShortUserFields(user, length));
        };
        const unsigned char* at = start;
        uint32_t taken = 0;
        // Far from the end no short-form user can reach past it, so its texts need no bounds of
        // their own, and each length leads straight to the next.
        for (; taken < remaining && static_cast<size_t>(end - at) >= tag.length + kLongestShortUser;
             ++taken) {
            if (!tag.At(at)) break;
            const unsigned char* const user = at + tag.length;
            const unsigned char* const nameLength = user + 4;
            const unsigned char* const passwordLength = nameLength + 1 + *nameLength;
            const unsigned char* const remarkLength = passwordLength + 1 + *passwordLength;
            if (*nameLength == kLongTextMarker || *passwordLength == kLongTextMarker ||
                *remarkLength == kLongTextMarker) {
                break;
            }
            at = remarkLength + 1 + *remarkLength + 12;
            noteIfAsked(user, static_cast<size_t>(at - user));
        }
        for (; taken < remaining; ++taken) {
            const size_t available = static_cast<size_t>(end - at);
            if (available < tag.length + kShortestUser || !tag.At(at)) break;
            const unsigned char* const user = at + tag.length;
            const size_t length = ShortUserLength(user, available - tag.length);
            if (length == 0) break;
            noteIfAsked(user, length);
            at = user + length;
        }
        return TakeRun(remaining, taken, static_cast<size_t>(at - start));
    }

    // The run of links (a group and a user, or a group and a code: 8 bytes), each handed to
    // `onLink`. Every link of the run repeats the first one's class reference, so the links lie
    // at one stride and no link's place waits on the reading of the one before.
    template <typename OnLink>
    uint32_t FastLinks(ListClass listClass, uint32_t remaining, OnLink onLink) {
        const unsigned char* const start = m_in.Here();
        const RunTag tag = RunTagAt(start, m_in.Remaining(), listClass);
        if (tag.length == 0) return remaining;
        const size_t stride = tag.length + 8;
        const uint32_t whole =
            static_cast<uint32_t>(std::min<size_t>(remaining, m_in.Remaining() / stride));
        uint32_t taken = 0;
        const unsigned char* link = start + tag.length;  // past its class reference
        // Four at a time while four are there, with one branch for their four references.
        for (; whole - taken >= 4; taken += 4, link += 4 * stride) {
            const unsigned char* const first = link - tag.length;
            if (!(tag.At(first) & tag.At(first + stride) & tag.At(first + 2 * stride) &
                  tag.At(first + 3 * stride))) {
                break;
            }
            for (size_t k = 0; k < 4; ++k) {
                onLink(static_cast<int32_t>(Load32(link + k * stride)),
                       Load32(link + k * stride + 4));
            }
        }
        for (; taken < whole && tag.At(link - tag.length); ++taken, link += stride) {
            onLink(static_cast<int32_t>(Load32(link)), Load32(link + 4));
        }
        return TakeRun(remaining, taken, taken * stride);
    }

    // An element of a list that owns its records: a new object of the list's class, announced by
    // that class's first appearance or by a reference to it. Nulls and references to objects
    // read before are damage.
    // `tag` is a 16-bit tag other than the big-object tag.
    bool ElementTag(uint16_t tag, ListClass listClass, const CRuntimeClass* runtimeClass) {
        if (!m_in.ok()) return false;
        if (tag == kNewClassTag) return NewClass(listClass, runtimeClass);
        uint32_t fullTag = (static_cast<uint32_t>(tag & kClassTag) << 16) | (tag & ~kClassTag);
        if (!ClassReference(fullTag, listClass)) return false;
        m_shortClassTag[listClass] = tag;
        return true;
    }

    // A reference to a class read before, in its 32-bit form.
    bool ClassReference(uint32_t fullTag, ListClass listClass) {
        if (!m_in.ok()) return false;
        if ((fullTag & kBigClassTag) == 0) return Fail();
        uint32_t index = fullTag & ~kBigClassTag;
        if (!IsClassAt(index, listClass)) return Fail();
        m_bigClassTag[listClass] = fullTag;
        return true;
    }

    bool IsClassAt(uint32_t index, ListClass listClass) const {
        auto at = std::lower_bound(
            m_classes.begin(), m_classes.end(), index,
            [](const ClassEntry& entry, uint32_t wanted) { return entry.index < wanted; });
        return at != m_classes.end() && at->index == index && at->listClass == listClass;
    }

    bool NewClass(ListClass listClass, const CRuntimeClass* runtimeClass) {
        uint16_t schema = m_in.U16();
        uint16_t nameLength = m_in.U16();
        if (nameLength > kMaxClassNameLength) return Fail();
        const unsigned char* name = m_in.Take(nameLength);
        if (name == nullptr || schema != runtimeClass->m_wSchema ||
            std::strlen(runtimeClass->m_lpszClassName) != nameLength ||
            std::memcmp(name, runtimeClass->m_lpszClassName, nameLength) != 0) {
            return Fail();
        }
        uint32_t index = m_mapCount++;
        m_classes.push_back({index, listClass});
        if (index < kBigObjectTag)
            m_shortClassTag[listClass] = static_cast<uint16_t>(kClassTag | index);
        return true;
    }

    bool Fail() {
        m_in.Fail();
        return false;
    }

    // A record counts only once its whole body has been read, as a loaded record does.
    bool User() {
        UserFields fields;
        const size_t length = ShortUserLength(m_in.Here(), m_in.Remaining());
        if (length > 0) {
            fields = ShortUserFields(m_in.Take(length), length);
        } else {
            fields.id = m_in.Take(4);
            fields.name = m_in.Text();
            fields.password = m_in.Text();
            m_in.Text();  // remark
            fields.period = m_in.Take(12);
            if (!m_in.ok()) return false;
        }
        NoteUser(fields);
        return true;
    }

    void NoteUser(const UserFields& user) {
        if (user.name.size() != m_scrambledName.View().size() ||
            !SameBytes(user.name.data(), m_scrambledName.GetString(), user.name.size())) {
            return;
        }
        const CString password = ScrambleString(CString(std::string(user.password)));
        if (m_facts.userFound) {
            m_facts.laterPasswords.push_back(password);
            return;
        }
        m_facts.userFound = true;
        m_facts.userID = static_cast<int32_t>(Load32(user.id));
        m_facts.userPassword = password;
        m_facts.timeSectType = static_cast<int32_t>(Load32(user.period));
        m_facts.from = static_cast<int32_t>(Load32(user.period + 4));
        m_facts.to = static_cast<int32_t>(Load32(user.period + 8));
    }

    bool Group() {
        m_in.Take(4);
        m_in.Text();
        m_in.Text();
        return m_in.ok();
    }

    // A membership or a grant: a group's number and a user's number or a code.
    template <typename OnLink>
    bool Link(OnLink onLink) {
        const unsigned char* link = m_in.Take(8);
        if (link == nullptr) return false;
        onLink(static_cast<int32_t>(Load32(link)), Load32(link + 4));
        return true;
    }

    void NoteGrant(int32_t groupID, uint32_t code) {
        const std::vector<int32_t>& groups = m_facts.userGroups;
        if (std::find(groups.begin(), groups.end(), groupID) != groups.end()) {
            m_facts.grantedCodes.push_back(code);
        }
    }

    ByteReader m_in;
    CString m_scrambledName;
    uint32_t m_mapCount = 1;           // the archive's next index; 0 is the null tag
    uint16_t m_shortClassTag[4] = {};  // per list: a class tag known to name its class
    uint32_t m_bigClassTag[4] = {};    // the same in the 32-bit form that follows kBigObjectTag
    std::vector<ClassEntry> m_classes;
    RightCheckFacts m_facts;
};

}  // namespace

RightCheckFacts ScanForRightCheck(const unsigned char* file, size_t size, const CString& userName) {
    return Scanner(file, size, userName).Run();
}
