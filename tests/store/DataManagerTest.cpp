#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <utility>
#include <vector>

#include "module/WardletApp.h"
#include "rights/OperCatalog.h"
#include "support/StoreTest.h"
#include "wardlet/store/DataManager.h"

namespace {

using Links = std::vector<std::pair<int32_t, int32_t>>;  // (group, user or code)

template <typename Link, typename Field>
Links Collect(const CObList& list, Field Link::*second) {
    Links links;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        auto* link = static_cast<const Link*>(list.GetNext(pos));
        links.emplace_back(link->m_nGroupID, link->*second);
    }
    return links;
}
Links Members(const CDataManager& d) {
    return Collect(d.m_groupUserList, &CInfoGroupUser::m_nUserID);
}
Links Grants(const CDataManager& d) {
    return Collect(d.m_groupOperList, &CInfoGroupOper::m_nOperCode);
}

class DataManagerTest : public StoreTest {
protected:
    void TearDown() override {
        theApp.m_bBrowserLibPresent = 0;
        StoreTest::TearDown();
    }
    // The catalogue entries the operations list must hold, in order.
    static void ExpectOperations(const CDataManager& data, bool withBrowserLogin) {
        POSITION pos = data.m_operList.GetHeadPosition();
        for (int i = 0; i < 33; ++i) {
            const OperCatalogEntry& entry = g_operCatalog[i];
            if (!withBrowserLogin && entry.code == kBrowserLoginRightCode) continue;
            ASSERT_NE(pos, nullptr) << i;
            auto* oper = static_cast<const CInfoOper*>(data.m_operList.GetNext(pos));
            EXPECT_EQ(static_cast<uint32_t>(oper->m_nCode), entry.code) << i;
            EXPECT_EQ(oper->m_strName, entry.name) << i;
            EXPECT_EQ(oper->m_strDesc, entry.desc) << i;
        }
        EXPECT_EQ(pos, nullptr);
    }
    CSaveProp store_;
    CDataManager& data_ = store_.m_dataManager;
};

TEST_F(DataManagerTest, OperationsFromCatalogue) {
    EXPECT_EQ(data_.m_operList.GetCount(), 33);
    ExpectOperations(data_, true);
    AddUser(store_, 0, "a", "");
    AddGroup(store_, 0, "g");
    AddMember(store_, 0, 0);
    Grant(store_, 0, 0x01000000);
    data_.RemoveAllRecords();
    EXPECT_TRUE(data_.m_userList.IsEmpty() && data_.m_groupList.IsEmpty());
    EXPECT_TRUE(data_.m_groupUserList.IsEmpty() && data_.m_groupOperList.IsEmpty());
    ExpectOperations(data_, true);  // the operations stay

    theApp.m_bBrowserLibPresent = 1;
    CDataManager withBrowserLib;
    theApp.m_bBrowserLibPresent = 0;
    EXPECT_EQ(withBrowserLib.m_operList.GetCount(), 32);
    ExpectOperations(withBrowserLib, false);
}

TEST_F(DataManagerTest, RemoveUserTakesOnlyItsMemberships) {
    CInfoUser* zero = AddUser(store_, 0, "zero", "");
    AddUser(store_, 1, "one", "");
    AddGroup(store_, 0, "g0");
    AddGroup(store_, 1, "g1");
    AddMember(store_, 0, 0);
    AddMember(store_, 0, 1);
    AddMember(store_, 1, 0);
    AddMember(store_, 1, 1);
    Grant(store_, 0, 0x01000000);
    Grant(store_, 1, 0x01010000);
    data_.RemoveUser(zero);
    ASSERT_EQ(data_.m_userList.GetCount(), 1);
    EXPECT_EQ(static_cast<CInfoUser*>(data_.m_userList.GetHead())->m_nID, 1);
    EXPECT_EQ(Members(data_), (Links{{0, 1}, {1, 1}}));
    EXPECT_EQ(Grants(data_), (Links{{0, 0x01000000}, {1, 0x01010000}}));  // group 0 keeps its own
    EXPECT_EQ(data_.m_groupList.GetCount(), 2);
    EXPECT_EQ(data_.NextUserID(), 0);  // freed numbers are reused
}

TEST_F(DataManagerTest, RemoveGroupTakesBothKindsOfItsLinks) {
    AddUser(store_, 1, "a", "");
    AddUser(store_, 2, "b", "");
    AddGroup(store_, 1, "g1");
    CInfoGroup* two = AddGroup(store_, 2, "g2");
    AddGroup(store_, 3, "g3");
    AddMember(store_, 2, 1);
    AddMember(store_, 1, 2);
    AddMember(store_, 2, 2);
    AddMember(store_, 3, 2);
    Grant(store_, 2, 0x01000000);
    Grant(store_, 1, 0x01020000);
    Grant(store_, 2, 0x01030000);
    data_.RemoveGroup(two);
    EXPECT_EQ(data_.m_groupList.GetCount(), 2);
    EXPECT_FALSE(data_.IsGroupNameUsed("g2"));
    EXPECT_EQ(Members(data_), (Links{{1, 2}, {3, 2}}));
    EXPECT_EQ(Grants(data_), (Links{{1, 0x01020000}}));
    EXPECT_EQ(data_.m_userList.GetCount(), 2);
    EXPECT_EQ(data_.NextGroupID(), 0);
    AddGroup(store_, 0, "g0");
    EXPECT_EQ(data_.NextGroupID(), 2);
}

struct IdCase {
    std::vector<int32_t> ids;
    int32_t next;
};

// Test names show the numbers in use, e.g. "ids_0_1_3".
void PrintTo(const IdCase& c, std::ostream* out) {
    *out << "ids";
    for (int32_t id : c.ids)
        *out << "_" << (id < 0 ? "minus" : "") << std::abs(static_cast<int64_t>(id));
}

class DataManagerIdTest : public DataManagerTest, public testing::WithParamInterface<IdCase> {};

TEST_P(DataManagerIdTest, LowestFreeNumber) {
    for (int32_t id : GetParam().ids) {
        AddUser(store_, id, "u", "");
        AddGroup(store_, id, "g");
    }
    EXPECT_EQ(data_.NextUserID(), GetParam().next);
    EXPECT_EQ(data_.NextGroupID(), GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(
    Ids, DataManagerIdTest,
    testing::Values(IdCase{{}, 0}, IdCase{{0, 1, 3}, 2}, IdCase{{3, 1, 0}, 2}, IdCase{{1, 2, 3}, 0},
                    IdCase{{2, 0, 1}, 3}, IdCase{{0, 0, 1}, 2}, IdCase{{0, 2, 2}, 1},
                    IdCase{{-1, 5, 1000000}, 0}, IdCase{{0, -1, 1, INT32_MAX}, 2}),
    [](const testing::TestParamInfo<IdCase>& info) { return testing::PrintToString(info.param); });

TEST_F(DataManagerTest, NamesMatchByteForByte) {
    EXPECT_FALSE(data_.IsUserNameUsed("Admin"));
    CInfoUser* first = AddUser(store_, 0, "admin", "");
    CInfoUser* cn = AddUser(store_, 1, Gbk("张三"), "");
    AddUser(store_, 2, "admin", "");
    AddGroup(store_, 0, Gbk("操作员"));
    EXPECT_FALSE(data_.IsUserNameUsed("Admin"));
    EXPECT_FALSE(data_.IsUserNameUsed("admin "));
    EXPECT_TRUE(data_.IsUserNameUsed(Gbk("张三")));
    EXPECT_FALSE(data_.IsUserNameUsed(Gbk("张")));
    EXPECT_FALSE(data_.IsUserNameUsed(Gbk("操作员")));
    EXPECT_TRUE(data_.IsGroupNameUsed(Gbk("操作员")));
    EXPECT_FALSE(data_.IsGroupNameUsed("admin"));
    EXPECT_EQ(data_.FindUserByName("admin"), first);
    EXPECT_EQ(data_.FindUserByName(Gbk("张三")), cn);
    EXPECT_EQ(data_.FindUserByName("ADMIN"), nullptr);
    EXPECT_EQ(data_.FindUserByName(""), nullptr);
}

}  // namespace
