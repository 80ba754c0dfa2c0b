// Exports that change or hand over the whole store.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>
#include <vector>

#include "module/WardletApp.h"
#include "support/StoreTest.h"
#include "wardlet/wardlet.h"

namespace {

class AdministrationTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        m_mirrorLog = Dir() + "/mirror.log";
        setenv("WARDLET_FAKE_MIRROR_LOG", m_mirrorLog.c_str(), 1);
        SetDataSource(DataPath().c_str());
    }
    void TearDown() override {
        unsetenv("WARDLET_FAKE_MIRROR_LOG");
        StoreTest::TearDown();
    }

    void SaveUsers() {
        CSaveProp store;
        AddUser(store, 0, "op", "pw");
        AddUser(store, 1, "op", "second");
        ASSERT_EQ(store.SaveToFile(), 1);
    }

    int MirrorCalls() const {
        std::ifstream in(m_mirrorLog);
        int lines = 0;
        for (std::string line; std::getline(in, line);) ++lines;
        return lines;
    }

    static void Receive(const std::vector<unsigned char>& bytes) {
        CMemFile file(bytes);
        CArchive ar(&file, CArchive::load);
        ReceiveObjListFromArchive(ar);
    }

    std::string m_mirrorLog;
};

}  // namespace

TEST_F(AdministrationTest, ModifyPwdChangesTheAdministratorOnlyWithTheOldPassword) {
    EXPECT_EQ(ModifyPWD("Admin", "wrong", "new"), 0);
    EXPECT_FALSE(DataFileExists());
    EXPECT_EQ(ModifyPWD("Admin", "4827", "new"), 1);
    EXPECT_EQ(Islegal("Admin", "new", 0x01000000), 1);
    EXPECT_EQ(Islegal("Admin", "4827", 0x01000000), 0);
    EXPECT_EQ(MirrorCalls(), 1);
    EXPECT_EQ(ModifyPWD("", "x", "y"), 0);
}

TEST_F(AdministrationTest, ModifyPwdChangesTheFirstUserWithThatPair) {
    SaveUsers();
    EXPECT_EQ(ModifyPWD("op", "second", ""), 1);  // empty passwords are stored as given
    EXPECT_EQ(IsUserExist("op", ""), 1);
    EXPECT_EQ(IsUserExist("op", "pw"), 1);
    EXPECT_EQ(ModifyPWD("op", "nope", "x"), 0);
}

TEST_F(AdministrationTest, ModifyPwdOfTheLoggedInUserFollowsIntoTheSession) {
    CSaveProp store;
    AddUser(store, 0, "op", "pw");
    ASSERT_EQ(store.SaveToFile(), 1);
    theApp.m_strCurUser = "op";
    theApp.m_strCurPassword = "pw";
    theApp.m_nCurUserID = 0;
    EXPECT_EQ(ModifyPWD("op", "pw", "fresh"), 1);
    EXPECT_EQ(theApp.m_strCurPassword, "fresh");

    theApp.m_strCurUser = "Admin";
    theApp.m_strCurPassword = "4827";
    theApp.m_nCurUserID.reset();
    EXPECT_EQ(ModifyPWD("Admin", "4827", "other"), 1);
    EXPECT_EQ(theApp.m_strCurPassword, "4827");  // the administrator is no user record
}

TEST_F(AdministrationTest, ModifyPwdReportsAFileThatCouldNotBeWritten) {
    SaveUsers();
    theApp.m_strCurUser = "op";
    theApp.m_strCurPassword = "pw";
    theApp.m_nCurUserID = 0;
    SetDataSource((Dir() + "/no-such-folder/rights.dat").c_str());
    EXPECT_EQ(ModifyPWD("op", "pw", "lost"), 0);
    EXPECT_EQ(theApp.m_strCurPassword, "pw");
}

TEST_F(AdministrationTest, GetConfigDataHandsOutTheLatestStore) {
    SaveUsers();
    CObList list;
    EXPECT_EQ(GetConfigData(&list), 1);
    EXPECT_EQ(GetConfigData(&list), 1);
    ASSERT_EQ(list.GetCount(), 2);
    auto* latest = static_cast<CSaveProp*>(list.GetTail());
    EXPECT_EQ(latest, theApp.m_pConfigData.get());
    EXPECT_EQ(latest->m_dataManager.m_userList.GetCount(), 2);
    EXPECT_EQ(latest->m_dataManager.m_operList.GetCount(), 33);
    EXPECT_EQ(GetConfigData(nullptr), 1);
}

TEST_F(AdministrationTest, ReceivedStoreReplacesTheFileWithoutForwarding) {
    CSaveProp sent;
    AddUser(sent, 0, "remote", "pw");
    sent.m_nLogoutMinutes = 9;
    Receive(TransferForm(sent));
    EXPECT_EQ(theApp.m_bReceiving, 0);
    EXPECT_EQ(MirrorCalls(), 0);
    CSaveProp stored;
    ASSERT_EQ(stored.LoadFromFile(), 1);
    EXPECT_EQ(stored.m_nLogoutMinutes, 9);
    EXPECT_EQ(IsUserExist("remote", "pw"), 1);
    EXPECT_EQ(ModifyPWD("remote", "pw", "x"), 1);
    EXPECT_EQ(MirrorCalls(), 1);  // forwarding works again after receiving
}

TEST_F(AdministrationTest, DamagedReceivedStoreStoresNothing) {
    SaveUsers();
    const std::vector<unsigned char> before = ReadDataFile();
    CSaveProp sent;
    AddUser(sent, 0, "remote", "pw");
    AddGroup(sent, 0, "g");
    const std::vector<unsigned char> whole = TransferForm(sent);
    for (size_t length = 0; length < whole.size(); ++length) {
        Receive({whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length)});
        ASSERT_EQ(theApp.m_bReceiving, 0) << length;
        ASSERT_EQ(ReadDataFile(), before) << length;
    }
    std::vector<unsigned char> twoStores = whole;
    twoStores[0] = 2;
    Receive(twoStores);
    EXPECT_EQ(ReadDataFile(), before);
    CInfoUser notAStore;
    Receive(TransferForm(notAStore));
    EXPECT_EQ(ReadDataFile(), before);
    CMemFile out;
    CArchive storing(&out, CArchive::store);
    ReceiveObjListFromArchive(storing);  // the wrong direction is refused, not obeyed
    EXPECT_EQ(ReadDataFile(), before);
}
