// Reading and writing the data file, and forwarding every save.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "module/WardletApp.h"
#include "support/Processes.h"
#include "support/StoreTest.h"
#include "wardlet/store/SaveProp.h"
#include "wardlet/wardlet.h"

namespace {

class SavePropFileTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        m_mirrorLog = Dir() + "/mirror.log";
        setenv("WARDLET_FAKE_MIRROR_LOG", m_mirrorLog.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("WARDLET_FAKE_MIRROR_LOG");
        StoreTest::TearDown();
    }

    std::vector<std::string> MirrorCalls() const {
        std::ifstream in(m_mirrorLog);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // A store with something in every list and a long remark.
    static void FillRichStore(CSaveProp& store) {
        store.m_strAdminName = "root";
        store.m_nLogoutMinutes = 17;
        store.m_bEditRight = 0;
        AddUser(store, 0, "alice", "pw-a", 1, 100, 200)->m_strRemark =
            CString(std::string(300, 'r'));
        AddUser(store, 1, "bob", "pw-b");
        AddUser(store, 3, "k-kk", "kk", 2, -5, 5);
        AddGroup(store, 0, "ops")->m_strDesc = "operators";
        AddGroup(store, 1, "eng");
        AddMember(store, 0, 0);
        AddMember(store, 1, 1);
        Grant(store, 0, 0x01010100);
        Grant(store, 1, 0x01000000);
    }

    std::string m_mirrorLog;
};

std::string Summary(const CSaveProp& store) {
    std::string out =
        std::string(store.m_strAdminName) + "/" + std::string(store.m_strAdminPassword);
    out += " " + std::to_string(store.m_bEditGroup) + std::to_string(store.m_bEditRight) +
           std::to_string(store.m_bEditUser) + std::to_string(store.m_bAutoLogout) + " " +
           std::to_string(store.m_nLogoutMinutes);
    const CDataManager& data = store.m_dataManager;
    for (POSITION p = data.m_userList.GetHeadPosition(); p;) {
        auto* u = static_cast<const CInfoUser*>(data.m_userList.GetNext(p));
        out += " u" + std::to_string(u->m_nID) + ":" + std::string(u->m_strName) + ":" +
               std::string(u->m_strPassword) + ":" + std::to_string(u->m_strRemark.GetLength()) +
               ":" + std::to_string(u->m_nTimeSectType) + ":" + std::to_string(u->m_tFrom) + ":" +
               std::to_string(u->m_tTo);
    }
    for (POSITION p = data.m_groupList.GetHeadPosition(); p;) {
        auto* g = static_cast<const CInfoGroup*>(data.m_groupList.GetNext(p));
        out += " g" + std::to_string(g->m_nID) + ":" + std::string(g->m_strName) + ":" +
               std::string(g->m_strDesc);
    }
    for (POSITION p = data.m_groupUserList.GetHeadPosition(); p;) {
        auto* l = static_cast<const CInfoGroupUser*>(data.m_groupUserList.GetNext(p));
        out += " m" + std::to_string(l->m_nGroupID) + "." + std::to_string(l->m_nUserID);
    }
    for (POSITION p = data.m_groupOperList.GetHeadPosition(); p;) {
        auto* l = static_cast<const CInfoGroupOper*>(data.m_groupOperList.GetNext(p));
        out += " r" + std::to_string(l->m_nGroupID) + "." + std::to_string(l->m_nOperCode);
    }
    return out;
}

}  // namespace

TEST_F(SavePropFileTest, MissingOrEmptyFileLeavesTheDefaults) {
    const std::string defaults = Summary(CSaveProp());
    CSaveProp missing;
    EXPECT_EQ(missing.LoadFromFile(), 0);
    EXPECT_EQ(Summary(missing), defaults);

    WriteDataFile({});
    CSaveProp empty;
    EXPECT_EQ(empty.LoadFromFile(), 0);
    EXPECT_EQ(Summary(empty), defaults);
}

TEST_F(SavePropFileTest, SaveThenLoadGivesTheSameStore) {
    CSaveProp store;
    FillRichStore(store);
    ASSERT_EQ(store.SaveToFile(), 1);
    CSaveProp reread;
    EXPECT_EQ(reread.LoadFromFile(), 1);
    EXPECT_EQ(Summary(reread), Summary(store));
    EXPECT_EQ(reread.m_dataManager.m_operList.GetCount(), 33);
}

TEST_F(SavePropFileTest, TruncationAtEveryOffsetNeverCrashesAndKeepsWhatWasRead) {
    CSaveProp store;
    FillRichStore(store);
    ASSERT_EQ(store.SaveToFile(), 1);
    const std::vector<unsigned char> whole = ReadDataFile();
    int usersBefore = 0;
    for (size_t length = 0; length < whole.size(); ++length) {
        WriteDataFile({whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length)});
        CSaveProp partial;
        ASSERT_EQ(partial.LoadFromFile(), 0) << length;
        int users = partial.m_dataManager.m_userList.GetCount();
        EXPECT_GE(users, usersBefore) << length;
        usersBefore = users;
        EXPECT_EQ(partial.m_nLogoutMinutes, 3) << length;  // the last field is never reached
    }
    EXPECT_EQ(usersBefore, 3);
}

TEST_F(SavePropFileTest, FileEndingInsideTheGroupsKeepsUsersAndEarlierGroups) {
    CSaveProp store;
    FillRichStore(store);
    ASSERT_EQ(store.SaveToFile(), 1);
    std::vector<unsigned char> whole = ReadDataFile();
    // Cut inside the second group's body ("eng").
    const std::string eng = {'\x0e', '\x05', '\x0c'};  // "eng" scrambled
    auto at = std::search(whole.begin(), whole.end(), eng.begin(), eng.end());
    ASSERT_NE(at, whole.end());
    WriteDataFile({whole.begin(), at});
    CSaveProp partial;
    EXPECT_EQ(partial.LoadFromFile(), 0);
    EXPECT_EQ(partial.m_dataManager.m_userList.GetCount(), 3);
    EXPECT_EQ(partial.m_dataManager.m_groupList.GetCount(), 1);
    EXPECT_EQ(partial.m_strAdminName, "root");
    EXPECT_EQ(partial.m_nLogoutMinutes, 3);
}

TEST_F(SavePropFileTest, NewFileIsPrivateAndAnExistingFileKeepsItsMode) {
    CSaveProp store;
    ASSERT_EQ(store.SaveToFile(), 1);
    struct stat status {};
    ASSERT_EQ(stat(DataPath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(chmod(DataPath().c_str(), 0640), 0);
    ASSERT_EQ(store.SaveToFile(), 1);
    ASSERT_EQ(stat(DataPath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST_F(SavePropFileTest, FailedSaveKeepsTheOldFileAndReportsIt) {
    CSaveProp store;
    FillRichStore(store);
    ASSERT_EQ(store.SaveToFile(), 1);
    const std::vector<unsigned char> before = ReadDataFile();
    g_strDataSource = (Dir() + "/missing-folder/rights.dat").c_str();
    EXPECT_EQ(store.SaveToFile(), 0);
    g_strDataSource = DataPath().c_str();
    EXPECT_EQ(ReadDataFile(), before);
}

// A sparse data file of a gigabyte is refused by its size: one question must not cost gigabytes.
TEST_F(SavePropFileTest, ASparseGigabyteDataFileIsRefusedUnread) {
    ASSERT_EQ(truncate(DataPath().c_str(), 0), -1);  // not there yet
    const int fd = open(DataPath().c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, off_t{1} << 30), 0);
    close(fd);
    SetDataSource(DataPath().c_str());
    const pid_t asker = SpawnUnderMemoryLimit(512u << 20, [] {
        CSaveProp store;
        const bool refused = store.LoadFromFile() == 0;
        // Answered from the defaults, as for any unreadable file.
        return refused && IsUserExist("Admin", "4827") == 1 ? 0 : 1;
    });
    EXPECT_EQ(ExitCode(asker), 0);
}

TEST_F(SavePropFileTest, StoresPastTheSixteenBitIndexReloadExactly) {
    // Past index 0x7FFF the archive writes a class reference as 7F FF and 32 bits with the
    // class bit set. With 32,765 users the group class takes exactly index 0x7FFF, which in 16
    // bits would read as the new-class tag; with 33,000 the group and membership classes lie
    // beyond it.
    struct Case {
        int users;
        uint32_t groupClassIndex;
    };
    for (const Case c : {Case{32765, 0x7FFF}, Case{33000, 33002}}) {
        SCOPED_TRACE(c.users);
        CSaveProp store;
        for (int32_t id = 0; id < c.users; ++id) {
            AddUser(store, id, ("u" + std::to_string(id)).c_str(), "pw");
        }
        for (int32_t id = 0; id < 3; ++id) AddGroup(store, id, ("g" + std::to_string(id)).c_str());
        for (int32_t id = 0; id < c.users; ++id) {
            AddMember(store, id % 3, id);
            AddMember(store, (id + 1) % 3, id);
        }
        Grant(store, 0, 0x01010000);
        Grant(store, 2, 0x01040000);
        ASSERT_EQ(store.SaveToFile(), 1);
        const std::vector<unsigned char> file = ReadDataFile();
        // The second group refers to its class through the 32-bit form.
        const uint32_t reference = 0x80000000u | c.groupClassIndex;
        const std::vector<unsigned char> tag = {0xFF,
                                                0x7F,
                                                static_cast<unsigned char>(reference),
                                                static_cast<unsigned char>(reference >> 8),
                                                static_cast<unsigned char>(reference >> 16),
                                                static_cast<unsigned char>(reference >> 24)};
        EXPECT_NE(std::search(file.begin(), file.end(), tag.begin(), tag.end()), file.end());

        CSaveProp reread;
        ASSERT_EQ(reread.LoadFromFile(), 1);
        EXPECT_EQ(reread.m_dataManager.m_userList.GetCount(), c.users);
        EXPECT_EQ(reread.m_dataManager.m_groupUserList.GetCount(), 2 * c.users);
        EXPECT_EQ(reread.m_dataManager.m_groupOperList.GetCount(), 2);
        EXPECT_TRUE(StoredBytes(reread, false) == file) << "the reloaded store writes other bytes";
    }
}

TEST_F(SavePropFileTest, FailedSaveLeavesTheSessionPasswordAsItWas) {
    // The logged-in operator's password changes in a store whose save then fails: writing the
    // store refreshes the session's password, and the failure must take that back, also when
    // the remote-transfer library writes the store once more.
    theApp.m_strCurUser = "op";
    theApp.m_strCurPassword = "pw";
    theApp.m_nCurUserID = 0;
    for (const bool forwarded : {false, true}) {
        SCOPED_TRACE(forwarded ? "forwarded" : "not forwarded");
        if (!forwarded) unsetenv("WARDLET_FAKE_MIRROR_LOG");
        if (forwarded) setenv("WARDLET_FAKE_MIRROR_LOG", m_mirrorLog.c_str(), 1);
        CSaveProp store;
        AddUser(store, 0, "op", "changed");
        g_strDataSource = (Dir() + "/missing-folder/rights.dat").c_str();
        EXPECT_EQ(store.SaveToFile(), 0);
        EXPECT_EQ(theApp.m_strCurPassword, "pw");
        EXPECT_EQ(MirrorCalls().size(), forwarded ? 1u : 0u);

        g_strDataSource = DataPath().c_str();  // the same save that succeeds does change it
        EXPECT_EQ(store.SaveToFile(), 1);
        EXPECT_EQ(theApp.m_strCurPassword, "changed");
        theApp.m_strCurPassword = "pw";
        std::remove(m_mirrorLog.c_str());
    }
}

TEST_F(SavePropFileTest, EverySaveIsForwardedAsOneStoreFromWardletDll) {
    CSaveProp store;
    AddUser(store, 0, "alice", "pw");
    ASSERT_EQ(store.SaveToFile(), 1);
    std::vector<std::string> calls = MirrorCalls();
    ASSERT_EQ(calls.size(), 1u);
    // The list in its transfer form: count 1, the store's class, then the file's bytes.
    const std::string expected = "Wardlet.dll 1 0100FFFF01000900435361766550726F70";
    std::string file = Hex(ReadDataFile());
    file.erase(std::remove(file.begin(), file.end(), ' '), file.end());
    EXPECT_EQ(calls[0], expected + file);
}

TEST_F(SavePropFileTest, SaveWithoutDataSourceStillForwards) {
    g_strDataSource.Empty();
    CSaveProp store;
    EXPECT_EQ(store.SaveToFile(), 0);
    ASSERT_EQ(MirrorCalls().size(), 1u);
    EXPECT_EQ(MirrorCalls()[0].rfind("Wardlet.dll 1 ", 0), 0u);
}

TEST_F(SavePropFileTest, SaveWhileReceivingWritesButDoesNotForward) {
    theApp.m_bReceiving = 1;
    CSaveProp store;
    EXPECT_EQ(store.SaveToFile(), 1);
    theApp.m_bReceiving = 0;
    EXPECT_TRUE(DataFileExists());
    EXPECT_TRUE(MirrorCalls().empty());
}

// Run by ctest with a remote-transfer library that lacks its entry.
TEST(MirrorWithoutEntry, SaveLoadsAndReleasesTheLibraryAndNothingElse) {
    const char* mode = std::getenv("WARDLET_TEST_SIBLINGS");
    if (mode == nullptr || std::string(mode) != "noentry") GTEST_SKIP() << "run by ctest only";
    g_strDataSource.Empty();
    CSaveProp store;
    EXPECT_EQ(store.SaveToFile(), 0);  // no crash, nothing called
}
