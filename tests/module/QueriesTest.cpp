// The query exports, called as a host calls them, against a real data file.
#include <gtest/gtest.h>

#include <cstring>

#include "module/WardletApp.h"
#include "support/StoreTest.h"
#include "wardlet/platform/Time.h"
#include "wardlet/wardlet.h"

namespace {

constexpr uint32_t kDeviceModify = 0x01010200;
constexpr uint32_t kDeviceAdd = 0x01010201;

class QueriesTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDataSource(DataPath().c_str());
    }

    // operator "op"/"pw" in group 0 holding device modification; "late" expired last year.
    void SavePlant() {
        CSaveProp store;
        AddUser(store, 0, "op", "pw");
        AddUser(store, 1, "late", "pw", 2, 0,
                static_cast<int32_t>(LocalSeconds(2025, 1, 1, 0, 0, 0)));
        AddUser(store, 2, "night", "pw", 1, CTime(2000, 1, 1, 22, 0, 0).GetTime(),
                CTime(2000, 1, 1, 23, 0, 0).GetTime());
        AddGroup(store, 0, "ops");
        AddMember(store, 0, 0);
        AddMember(store, 0, 1);
        AddMember(store, 0, 2);
        Grant(store, 0, kDeviceModify);
        ASSERT_EQ(store.SaveToFile(), 1);
    }
};

}  // namespace

TEST_F(QueriesTest, DefaultAdministratorPassesEveryCodeOnAMissingFile) {
    EXPECT_EQ(Islegal("Admin", "4827", 0x01070000), 1);
    EXPECT_EQ(Islegal("Admin", "4827", 0xDEADBEEF), 1);
    EXPECT_EQ(Islegal("Admin", "wrong", kDeviceAdd), 0);
    EXPECT_EQ(IsUserExist("Admin", "4827"), 1);
    EXPECT_FALSE(DataFileExists());  // answering never writes
}

TEST_F(QueriesTest, IslegalFollowsTheStoredRights) {
    SavePlant();
    struct {
        const char* user;
        const char* password;
        uint32_t code;
        int32_t expected;
    } cases[] = {
        {"op", "pw", kDeviceAdd, 1},       {"op", "pw", kDeviceModify, 1},
        {"op", "pw", 0x01010000, 0},       {"op", "PW", kDeviceAdd, 0},
        {"late", "pw", kDeviceAdd, 0},     {"night", "pw", kDeviceAdd, 0},
        {"nobody", "pw", kDeviceAdd, 0},   {"", "", kDeviceAdd, 0},
        {nullptr, nullptr, kDeviceAdd, 0}, {"op", nullptr, kDeviceAdd, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Islegal(c.user, c.password, c.code), c.expected)
            << (c.user ? c.user : "(null)") << " " << std::hex << c.code;
    }
    SetNow(LocalSeconds(2026, 12, 7, 22, 30, 0));
    EXPECT_EQ(Islegal("night", "pw", kDeviceAdd), 1);
}

TEST_F(QueriesTest, IsUserExistNeedsTheMatchingPassword) {
    SavePlant();
    EXPECT_EQ(IsUserExist("op", "pw"), 1);
    EXPECT_EQ(IsUserExist("op", "nope"), 0);
    EXPECT_EQ(IsUserExist("late", "pw"), 1);  // validity plays no part here
    EXPECT_EQ(IsUserExist("", "pw"), 0);
}

TEST_F(QueriesTest, GetUserTimeSectCopiesThePeriod) {
    SavePlant();
    int32_t kind = 9, from = 9, to = 9;
    EXPECT_EQ(GetUserTimeSect("night", &kind, &from, &to), 1);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(from, CTime(2000, 1, 1, 22, 0, 0).GetTime());
    EXPECT_EQ(to, CTime(2000, 1, 1, 23, 0, 0).GetTime());

    kind = from = to = 9;
    EXPECT_EQ(GetUserTimeSect("Admin", &kind, &from, &to), 1);
    EXPECT_EQ(kind | from | to, 0);
    kind = from = to = 9;
    EXPECT_EQ(GetUserTimeSect("nobody", &kind, &from, &to), 0);
    EXPECT_EQ(kind | from | to, 0);
    EXPECT_EQ(GetUserTimeSect("op", nullptr, nullptr, nullptr), 1);
}

TEST_F(QueriesTest, GetCurUserInfoAnswersForANameOrTheSession) {
    SavePlant();
    char name[65] = "op";
    char password[65] = "untouched";
    EXPECT_EQ(GetCurUserInfo(name, password), 1);
    EXPECT_STREQ(password, "pw");

    std::strcpy(name, "Admin");
    EXPECT_EQ(GetCurUserInfo(name, password), 1);
    EXPECT_STREQ(password, "4827");

    std::strcpy(name, "nobody");
    std::strcpy(password, "untouched");
    EXPECT_EQ(GetCurUserInfo(name, password), 0);
    EXPECT_STREQ(name, "nobody");
    EXPECT_STREQ(password, "untouched");

    name[0] = '\0';
    EXPECT_EQ(GetCurUserInfo(name, password), 0);
    EXPECT_STREQ(password, "untouched");

    theApp.m_strCurUser = "op";
    theApp.m_strCurPassword = "pw";
    EXPECT_EQ(GetCurUserInfo(name, password), 1);
    EXPECT_STREQ(name, "op");
    EXPECT_STREQ(password, "pw");
}

TEST_F(QueriesTest, DataSourceIsKeptAndReplaced) {
    EXPECT_STREQ(GetDataSource(), DataPath().c_str());
    NamedMutex* mutex = g_hFileMutex.get();
    SetDataSource((Dir() + "/other.dat").c_str());
    EXPECT_STREQ(GetDataSource(), (Dir() + "/other.dat").c_str());
    EXPECT_EQ(g_hFileMutex.get(), mutex);  // the kernel objects stay those of the first call
    SetDataSource(nullptr);
    EXPECT_STREQ(GetDataSource(), "");
}
