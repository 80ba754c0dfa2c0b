#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "support/Processes.h"
#include "support/StoreTest.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"

namespace {

std::vector<unsigned char> StoreText(const CString& text) {
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    ar << text;
    ar.Close();
    return file.Bytes();
}

CString LoadText(const std::vector<unsigned char>& bytes) {
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    CString text;
    ar >> text;
    return text;
}

struct PrefixCase {
    int length;
    std::string prefix;
};

}  // namespace

TEST(ArchiveText, LengthPrefixTakesTheShortestForm) {
    const PrefixCase cases[] = {
        {0, "00"},
        {254, "FE"},
        {255, "FF FF 00"},
        {65533, "FF FD FF"},
        {65534, "FF FF FF FE FF 00 00"},
        {65535, "FF FF FF FF FF 00 00"},
        {70000, "FF FF FF 70 11 01 00"},
    };
    for (const PrefixCase& c : cases) {
        CString text(std::string(static_cast<size_t>(c.length), 'x'));
        std::vector<unsigned char> bytes = StoreText(text);
        std::vector<unsigned char> prefix = FromHex(c.prefix);
        ASSERT_EQ(bytes.size(), prefix.size() + c.length) << c.length;
        EXPECT_EQ(Hex({bytes.begin(), bytes.begin() + prefix.size()}), c.prefix) << c.length;
        EXPECT_EQ(LoadText(bytes), text) << c.length;
    }
}

TEST(ArchiveText, ReadersAcceptLongerPrefixesThanNeeded) {
    EXPECT_EQ(LoadText(FromHex("FF 02 00 41 42")), "AB");
    EXPECT_EQ(LoadText(FromHex("FF FF FF 02 00 00 00 41 42")), "AB");
}

TEST(ArchiveText, EmbeddedZeroBytesAreKept) {
    CString text(std::string("a\0b", 3));
    CString back = LoadText(StoreText(text));
    EXPECT_EQ(back.GetLength(), 3);
    EXPECT_EQ(back, text);
}

TEST(ArchiveText, LengthPastTheEndFailsWithoutAllocating) {
    // A 4 GiB length in a 9-byte stream: must fail as the end of data, not try to allocate.
    for (const char* hex :
         {"05 41 42", "FF 10 00 41", "FF FF FF FF FF FF FF 41 42", "FF", "FF 01"}) {
        try {
            LoadText(FromHex(hex));
            ADD_FAILURE() << hex;
        } catch (const CArchiveException& error) {
            EXPECT_EQ(error.m_cause, CArchiveException::endOfFile) << hex;
        }
    }
}

// In a child process whose address space leaves no room for the length a damaged prefix claims:
// a reader that believed it would fail to allocate (or would be killed) instead of refusing.
TEST(ArchiveText, HugeLengthIsRefusedUnderAMemoryLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than any useful limit";
#endif
    enum Outcome { kRefused = 10, kAllocated, kAccepted, kLimitNotInForce, kOtherError };
    struct Case {
        const char* what;
        std::string hex;
        bool asStore;  // read as a whole data file rather than as one text
    };
    const Case cases[] = {
        {"4 GiB text in 9 bytes", "FF FF FF FF FF FF FF 41 42", false},
        {"3.75 GiB text", "FF FF FF 00 00 00 F0 41 42 43", false},
        {"data file whose administrator name claims 4 GiB", "FF FF FF FF FF FF FF 2A 0F", true},
    };
    for (const Case& c : cases) {
        const std::vector<unsigned char> bytes = FromHex(c.hex);
        // What the process holds now, and 1 GiB more: never the 4 GiB a prefix may claim.
        const pid_t child = SpawnUnderMemoryLimit(uint64_t{1} << 30, [&]() -> int {
            void* probe = std::malloc(size_t{2} << 30);
            if (probe != nullptr) return kLimitNotInForce;
            try {
                if (c.asStore) {
                    CSaveProp store;
                    CMemFile file(bytes);
                    CArchive ar(&file, CArchive::load);
                    store.Serialize(ar);
                } else {
                    LoadText(bytes);
                }
                return kAccepted;
            } catch (const CArchiveException& error) {
                return error.m_cause == CArchiveException::endOfFile ? kRefused : kOtherError;
            } catch (const std::bad_alloc&) {
                return kAllocated;
            }
        });
        EXPECT_EQ(ExitCode(child), kRefused) << c.what;
    }
}

TEST(ArchiveText, WideCharacterPrefixIsRefused) {
    EXPECT_THROW(LoadText(FromHex("FF FE FF 01 41 00")), CArchiveException);
}

TEST(ArchiveNumbers, LittleEndianAndCounts) {
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    ar << int32_t{-2} << uint16_t{0x1234};
    ar.WriteCount(3);
    ar.WriteCount(0xFFFF);
    ar.WriteCount(0x10000);
    ar.Close();
    EXPECT_EQ(Hex(file.Bytes()), "FE FF FF FF 34 12 03 00 FF FF FF FF 00 00 FF FF 00 00 01 00");

    CMemFile in(file.Bytes());
    CArchive reader(&in, CArchive::load);
    int32_t number;
    uint16_t word;
    reader >> number >> word;
    EXPECT_EQ(number, -2);
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(reader.ReadCount(), 3u);
    EXPECT_EQ(reader.ReadCount(), 0xFFFFu);
    EXPECT_EQ(reader.ReadCount(), 0x10000u);
    EXPECT_THROW(reader >> word, CArchiveException);
}

TEST(ArchiveBuffer, LargeWritesAndReadsCrossTheBuffer) {
    std::string big(10000, 'q');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store, 16);
        ar << CString("head") << CString(big) << int32_t{7};
    }  // the destructor flushes
    CMemFile in(file.Bytes());
    CArchive reader(&in, CArchive::load, 16);
    CString head, body;
    int32_t tail;
    reader >> head >> body >> tail;
    EXPECT_EQ(head, "head");
    EXPECT_EQ(body, CString(big));
    EXPECT_EQ(tail, 7);
    EXPECT_EQ(reader.BytesRemaining(), 0u);
}

namespace {

// A text of `length` bytes as a peer sends it: the seven-byte prefix, then the bytes.
std::string HugePrefixed(uint32_t length, const std::string& body) {
    std::string bytes = "\xFF\xFF\xFF";
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(length >> shift);
    return bytes + body;
}

// Sends `bytes` into a fresh pipe from a child process and reads one text from its other end
// through a CFile, as a host reads another station's stream. Returns the text, or throws.
CString TextThroughPipe(const std::string& bytes, uint64_t loadLimit = UINT64_MAX) {
    Pipe pipe;
    const pid_t sender = Spawn([&] {
        close(pipe.fds[0]);
        const bool sent =
            write(pipe.fds[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        return sent ? 0 : 1;
    });
    pipe.CloseWriter();
    CFile file(("/proc/self/fd/" + std::to_string(pipe.fds[0])).c_str(), CFile::modeRead);
    CArchive ar(&file, CArchive::load);
    ar.SetLoadLimit(loadLimit);
    CString text;
    try {
        ar >> text;
    } catch (...) {
        // The sender may still be writing: it must meet a closed pipe, not wait for us forever.
        file.Abort();
        close(pipe.fds[0]);
        pipe.fds[0] = -1;
        ExitCode(sender);
        throw;
    }
    EXPECT_EQ(ExitCode(sender), 0);
    return text;
}

}  // namespace

// Over a pipe the stream's end is unknown. A 40-byte stream that claims a 0xF0000000-byte text
// must end at its 40th byte, having allocated little, not zero-fill gigabytes first.
TEST(ArchivePipe, AClaimedHugeTextEndsWhereTheBytesEnd) {
    const pid_t reader = SpawnUnderMemoryLimit(512u << 20, [] {
        try {
            TextThroughPipe(HugePrefixed(0xF0000000u, std::string(33, 'A')));
            return 1;
        } catch (const CArchiveException& error) {
            return error.m_cause == CArchiveException::endOfFile ? 0 : 2;
        }
    });
    EXPECT_EQ(ExitCode(reader), 0);
}

TEST(ArchivePipe, ALongTextArrivesWholeInSteps) {
    std::string body(3 * 1024 * 1024 + 7, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 131 % 251);
    const CString text = TextThroughPipe(HugePrefixed(static_cast<uint32_t>(body.size()), body));
    EXPECT_EQ(text.Bytes(), body);
}

TEST(ArchivePipe, TheLoadLimitStopsAStreamThatSendsMore) {
    const std::string body(2 * 1024 * 1024, 'x');
    EXPECT_THROW(TextThroughPipe(HugePrefixed(static_cast<uint32_t>(body.size()), body), 1u << 20),
                 CArchiveException);
    EXPECT_EQ(TextThroughPipe(HugePrefixed(5, "hello"), 12).Bytes(), "hello");
}

TEST(ArchiveText, ATextLongerThanAnyStoreIsRefusedUnread) {
    try {
        LoadText(FromHex("FF FF FF 01 00 00 04 41"));  // 64 MiB and one byte
        ADD_FAILURE();
    } catch (const CArchiveException& error) {
        EXPECT_EQ(error.m_cause, CArchiveException::endOfFile);
    }
}
