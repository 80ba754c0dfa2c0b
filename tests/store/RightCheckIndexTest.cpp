// The index behind the permission questions, in one process: answers come from it while the data
// file is unchanged, every change is seen, and time is judged at every question.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "module/LoginSession.h"
#include "module/WardletApp.h"
#include "store/DataFileLock.h"
#include "store/RightCheckIndex.h"
#include "support/Processes.h"
#include "support/StoreTest.h"
#include "wardlet/platform/Time.h"
#include "wardlet/wardlet.h"

namespace {

constexpr uint32_t kDeviceAdd = 0x01010201;

// The index's settle clock, far ahead of the files these tests write: a file written a moment
// ago counts as settled, so its read is kept.
int64_t FarAhead() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return (static_cast<int64_t>(now.tv_sec) + 3600) * 1'000'000'000;
}

class RightCheckIndexTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDataSource(DataPath().c_str());
        DropRightCheckIndex();
        SetRightCheckIndexClock(&FarAhead);
        m_before = GetRightCheckIndexStats();
    }
    void TearDown() override {
        SetRightCheckIndexClock(nullptr);
        DropRightCheckIndex();
        StoreTest::TearDown();
    }

    // "op"/"pw" in groups 0 and 1, the device right only through the second; "dup" twice.
    static CSaveProp* Plant(CSaveProp& store, int32_t kind = 0, int32_t from = 0, int32_t to = 0) {
        AddUser(store, 0, "op", "pw", kind, from, to);
        AddUser(store, 1, "dup", "first");
        AddUser(store, 2, "dup", "second");
        AddGroup(store, 0, "viewers");
        AddGroup(store, 1, "ops");
        AddMember(store, 0, 0);
        AddMember(store, 1, 0);
        Grant(store, 0, 0x01040100);
        Grant(store, 1, 0x01010200);
        return &store;
    }

    static void Save(CSaveProp& store) { ASSERT_EQ(store.SaveToFile(), 1); }

    // Since the test began.
    uint64_t Reads() const { return GetRightCheckIndexStats().fileReads - m_before.fileReads; }
    uint64_t FromIndex() const {
        return GetRightCheckIndexStats().answersFromIndex - m_before.answersFromIndex;
    }

    static std::string PasswordOf(const char* name) {
        char nameBuffer[256];
        char passwordBuffer[256] = "";
        std::snprintf(nameBuffer, sizeof nameBuffer, "%s", name);
        if (GetCurUserInfo(nameBuffer, passwordBuffer) != 1) return "(none)";
        return passwordBuffer;
    }

    RightCheckIndexStats m_before;
};

}  // namespace

TEST_F(RightCheckIndexTest, EveryQuestionAfterTheFirstIsAnsweredFromTheIndex) {
    CSaveProp store;
    Save(*Plant(store));
    EXPECT_EQ(Islegal("op", "pw", kDeviceAdd), 1);
    EXPECT_EQ(Reads(), 1u);

    EXPECT_EQ(Islegal("op", "pw", 0x01040100), 1);
    EXPECT_EQ(Islegal("op", "pw", 0x01010000), 0);
    EXPECT_EQ(Islegal("op", "wrong", kDeviceAdd), 0);
    EXPECT_EQ(Islegal("Admin", "4827", 0xDEADBEEF), 1);
    EXPECT_EQ(IsUserExist("dup", "second"), 1);  // any account of the name
    EXPECT_EQ(IsUserExist("dup", "third"), 0);
    EXPECT_EQ(PasswordOf("dup"), "first");  // the first account of the name
    EXPECT_EQ(PasswordOf("Admin"), "4827");
    EXPECT_EQ(PasswordOf("nobody"), "(none)");
    int32_t kind = -1, from = -1, to = -1;
    EXPECT_EQ(GetUserTimeSect("op", &kind, &from, &to), 1);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(GetUserTimeSect("nobody", &kind, &from, &to), 0);

    ASSERT_TRUE(TakeLoginSlot());
    theApp.m_strCurUser = "op";
    theApp.m_strCurPassword = "pw";
    char buffer[256] = "";
    EXPECT_EQ(GetPassed(kDeviceAdd, buffer), 0);
    StopLogoutTimer();
    theApp.m_strCurUser.Empty();
    ReleaseLoginSlot();

    EXPECT_EQ(Reads(), 1u);
    EXPECT_EQ(FromIndex(), 12u);
    const RightCheckIndexStats stats = GetRightCheckIndexStats();
    EXPECT_GT(stats.bytesHeld, ReadDataFile().size());
    EXPECT_LT(stats.bytesHeld, 64u * 1024);
}

TEST_F(RightCheckIndexTest, ValidityIsJudgedAtEveryQuestion) {
    const int64_t opens = LocalSeconds(2026, 12, 7, 10, 0, 0);
    const int64_t nightStart = CTime(2000, 1, 1, 22, 0, 0).GetTime();
    const int64_t nightEnd = CTime(2000, 1, 1, 23, 0, 0).GetTime();
    struct {
        int32_t kind;
        int64_t from, to;
        int64_t now;
        int32_t expected;
    } steps[] = {
        // A period that opens and closes between questions; both bounds count.
        {2, opens, opens + 60, opens - 1, 0},
        {2, opens, opens + 60, opens, 1},
        {2, opens, opens + 60, opens + 60, 1},
        {2, opens, opens + 60, opens + 61, 0},
        // A daily window, by the time of day on any date.
        {1, nightStart, nightEnd, LocalSeconds(2026, 12, 8, 21, 59, 59), 0},
        {1, nightStart, nightEnd, LocalSeconds(2026, 12, 8, 22, 0, 0), 1},
        {1, nightStart, nightEnd, LocalSeconds(2026, 12, 9, 23, 0, 0), 1},
        {1, nightStart, nightEnd, LocalSeconds(2026, 12, 9, 23, 0, 1), 0},
    };
    int32_t savedKind = -1;
    for (const auto& step : steps) {
        if (step.kind != savedKind) {
            CSaveProp store;
            Save(*Plant(store, step.kind, static_cast<int32_t>(step.from),
                        static_cast<int32_t>(step.to)));
            savedKind = step.kind;
            ASSERT_EQ(Islegal("nobody", "", kDeviceAdd), 0);  // the read that the index keeps
        }
        SetNow(step.now);
        const uint64_t reads = Reads();
        EXPECT_EQ(Islegal("op", "pw", kDeviceAdd), step.expected) << step.now;
        EXPECT_EQ(Reads(), reads) << "answered from the index";
    }
}

TEST_F(RightCheckIndexTest, EveryChangeIsSeenAtTheNextQuestion) {
    CSaveProp store;
    Save(*Plant(store));
    const std::string path = DataPath();
    const std::string other = Dir() + "/other.dat";
    struct {
        const char* what;
        void (*change)(const std::string& path, const std::string& other);
        const char* passwordAfter;
    } changes[] = {
        {"saved through the library",
         [](const std::string&, const std::string&) { ASSERT_EQ(ModifyPWD("op", "pw", "p2"), 1); },
         "p2"},
        {"replaced from outside, same size",
         [](const std::string& data, const std::string& spare) {
             CSaveProp next;
             Plant(next)->m_strAdminPassword = "1111";  // the same size: only the identity tells
             const std::vector<unsigned char> bytes = StoredBytes(next, false);
             std::ofstream(spare, std::ios::binary)
                 .write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
             ASSERT_EQ(std::rename(spare.c_str(), data.c_str()), 0);
         },
         "pw"},
        {"made unreadable",
         [](const std::string& data, const std::string&) { ASSERT_EQ(chmod(data.c_str(), 0), 0); },
         nullptr},
        {"readable again",
         [](const std::string& data, const std::string&) {
             ASSERT_EQ(chmod(data.c_str(), 0600), 0);
         },
         "pw"},
        {"deleted",
         [](const std::string& data, const std::string&) {
             ASSERT_EQ(std::remove(data.c_str()), 0);
         },
         "(none)"},
        {"recreated",
         [](const std::string&, const std::string&) {
             CSaveProp next;
             Plant(next)->m_nLogoutMinutes = 9;
             Save(next);
         },
         "pw"},
    };
    for (const auto& step : changes) {
        ASSERT_NE(PasswordOf("Admin"), "");  // a read the index keeps, if the file can be read
        step.change(path, other);
        const bool readable = access(path.c_str(), R_OK) == 0 || !DataFileExists();
        const uint64_t reads = Reads();
        CSaveProp fresh;
        fresh.LoadFromFile();
        EXPECT_EQ(PasswordOf("Admin"), fresh.m_strAdminPassword.Bytes()) << step.what;
        EXPECT_EQ(Reads(), reads + 1) << step.what << ": read again";
        if (step.passwordAfter != nullptr && readable) {
            EXPECT_EQ(PasswordOf("op"), step.passwordAfter) << step.what;
        }
    }
}

TEST_F(RightCheckIndexTest, AFileThatHasNotSettledIsReadAtEveryQuestion) {
    SetRightCheckIndexClock(nullptr);  // the real clock: the file was written just now
    CSaveProp store;
    Save(*Plant(store));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Islegal("op", "pw", kDeviceAdd), 1);
    EXPECT_EQ(Reads(), 3u);
    EXPECT_EQ(FromIndex(), 0u);
    EXPECT_LE(GetRightCheckIndexStats().bytesHeld, ReadDataFile().size());  // a buffer, no facts
}

// Saves rename a whole file into place, so a question needs no lock: it is answered while another
// program holds the data file's lock, as it would be through a long save of a large store.
TEST_F(RightCheckIndexTest, AQuestionIsAnsweredWhileAnotherProgramHoldsTheLock) {
    CSaveProp store;
    Save(*Plant(store));
    Pipe held;
    Pipe done;
    const pid_t holder = Spawn([&] {
        alarm(30);  // a question that waited for the lock would otherwise wait for ever
        DataFileLock lock(DataPath());
        held.Send('h');
        return done.Receive() == 'd' ? 0 : 1;
    });
    ASSERT_EQ(held.Receive(), 'h');
    EXPECT_EQ(Islegal("op", "pw", kDeviceAdd), 1);
    EXPECT_EQ(Reads(), 1u);
    done.Send('d');
    EXPECT_EQ(ExitCode(holder), 0) << "the question waited until the holder was ended";
}
