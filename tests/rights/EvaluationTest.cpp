#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <memory>
#include <set>
#include <vector>

#include "module/WardletApp.h"
#include "rights/Evaluation.h"
#include "store/RightCheckScan.h"
#include "support/StoreTest.h"
#include "wardlet/platform/Time.h"

namespace {

std::vector<uint32_t> Codes(const CObList& opers) {
    std::vector<uint32_t> codes;
    for (POSITION pos = opers.GetHeadPosition(); pos != nullptr;) {
        codes.push_back(
            static_cast<uint32_t>(static_cast<const CInfoOper*>(opers.GetNext(pos))->m_nCode));
    }
    return codes;
}

// Switches TZ for one scope.
struct ZoneScope {
    explicit ZoneScope(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        setenv("TZ", "Asia/Shanghai", 1);
        tzset();
    }
};

class EvaluationTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        MakeStore(false);
    }
    // The operations list depends on the browser flag when the store is built; the flag is reset.
    void MakeStore(bool browserLib) {
        theApp.m_bBrowserLibPresent = browserLib ? 1 : 0;
        store_ = std::make_unique<CSaveProp>();
        theApp.m_bBrowserLibPresent = 0;
    }
    CObList& Opers() { return store_->m_dataManager.m_operList; }
    void ReplaceOpers(const std::vector<uint32_t>& codes) {
        while (!Opers().IsEmpty()) delete Opers().RemoveHead();
        for (uint32_t code : codes) {
            auto* oper = new CInfoOper;
            oper->m_nCode = static_cast<int32_t>(code);
            oper->m_strName.Format("op%zu", static_cast<size_t>(Opers().GetCount()));
            Opers().AddTail(oper);
        }
    }
    std::vector<uint32_t> Children(uint32_t code) {
        CObList children;
        GetChildOpers(*store_, code, children);
        return Codes(children);
    }
    // A user "u"/"pw" in group 1 that holds `code`.
    CInfoUser* PrivilegedUser(uint32_t code, int kind = 0, int32_t from = 0, int32_t to = 0) {
        CInfoUser* user = AddUser(*store_, 7, "u", "pw", kind, from, to);
        AddGroup(*store_, 1, "g");
        AddMember(*store_, 1, 7);
        Grant(*store_, 1, code);
        return user;
    }
    int Check(const char* name, const char* password, uint32_t code) {
        return CheckUserRight(*store_, name, password, code);
    }
    std::unique_ptr<CSaveProp> store_;
};

TEST_F(EvaluationTest, ChildOperations) {
    using V = std::vector<uint32_t>;
    EXPECT_EQ(Children(0x01000000),
              (V{0x01010000, 0x01020000, 0x01030000, 0x01040000, 0x01050000, 0x01070000}));
    EXPECT_EQ(Children(0x01020000), V{0x01020200});
    EXPECT_EQ(Children(0x01040000), (V{0x01040100, 0x01040200, 0x01040400}));
    EXPECT_EQ(Children(0x01040200), (V{0x01040201, 0x01040202}));
    EXPECT_EQ(Children(0x01010302), V{});
    EXPECT_EQ(Children(0x01060000), V{});
    MakeStore(true);
    EXPECT_EQ(Children(0x01000000),
              (V{0x01010000, 0x01020000, 0x01030000, 0x01040000, 0x01050000}));
}

TEST_F(EvaluationTest, ChildOperationsSortedByOrderTiesKeepListOrder) {
    ReplaceOpers({0x01050000, 0x01030200, 0x01030000, 0x01010000, 0x01030000, 0x01000000});
    CObList children;
    GetChildOpers(*store_, 0x01000000, children);
    ASSERT_EQ(Codes(children),
              (std::vector<uint32_t>{0x01010000, 0x01030000, 0x01030000, 0x01050000}));
    POSITION pos = children.GetHeadPosition();
    children.GetNext(pos);
    EXPECT_EQ(static_cast<CInfoOper*>(children.GetNext(pos))->m_strName, "op2");
    EXPECT_EQ(static_cast<CInfoOper*>(children.GetNext(pos))->m_strName, "op4");
}

struct CoverageCase {
    const char* label;
    std::vector<uint32_t> grantedPerGroup;  // one group each, the user in all of them
    std::set<uint32_t> covered;             // the listed codes that must be granted
};

class EvaluationCoverageTest : public EvaluationTest,
                               public testing::WithParamInterface<CoverageCase> {};

TEST_P(EvaluationCoverageTest, GrantedExactlyTheCoveredCodes) {
    const CoverageCase& c = GetParam();
    AddUser(*store_, 3, "u", "pw");
    for (size_t i = 0; i < c.grantedPerGroup.size(); ++i) {
        AddGroup(*store_, static_cast<int32_t>(i + 10), "g");
        AddMember(*store_, static_cast<int32_t>(i + 10), 3);
        Grant(*store_, static_cast<int32_t>(i + 10), c.grantedPerGroup[i]);
    }
    const std::vector<uint32_t> listed = Codes(Opers());
    std::set<uint32_t> covered = c.covered;
    if (covered.count(0)) covered = {listed.begin(), listed.end()};
    for (uint32_t code : listed) {
        bool expected = covered.count(code) != 0;
        EXPECT_EQ(Check("u", "pw", code), expected ? kRightGranted : kRightRefused)
            << std::hex << code;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Groups, EvaluationCoverageTest,
    testing::Values(CoverageCase{"Root", {0x01000000}, {0}},  // 0: every listed code
                    CoverageCase{
                        "Branch", {0x01010200}, {0x01010200, 0x01010201, 0x01010202, 0x01010203}},
                    CoverageCase{"Leaf", {0x01010201}, {0x01010201}},
                    CoverageCase{"Union",
                                 {0x01040200, 0x01050000},
                                 {0x01040200, 0x01040201, 0x01040202, 0x01050000, 0x01050100,
                                  0x01050200, 0x01050300}},
                    CoverageCase{"Unlisted", {0x01060000}, {}}),
    [](const testing::TestParamInfo<CoverageCase>& info) { return info.param.label; });

TEST_F(EvaluationTest, CodeMustBeListed) {
    PrivilegedUser(0x01000000);
    EXPECT_EQ(Check("u", "pw", 0x01060000), kRightRefused);
    EXPECT_EQ(Check("u", "pw", 0x01070000), kRightGranted);
    MakeStore(true);
    PrivilegedUser(0x01000000);
    EXPECT_EQ(Check("u", "pw", 0x01070000), kRightRefused);
    EXPECT_EQ(Check("u", "pw", 0x01050300), kRightGranted);
}

TEST_F(EvaluationTest, UnlistedGrantCoversCodesBeneathIt) {
    Opers().AddTail(new CInfoOper);
    static_cast<CInfoOper*>(Opers().GetTail())->m_nCode = 0x01060100;
    PrivilegedUser(0x01060000);
    EXPECT_TRUE(GroupHasRight(*store_, 0x01060100, 1));
    EXPECT_FALSE(GroupHasRight(*store_, 0x01060100, 2));
    EXPECT_FALSE(GroupHasRight(*store_, 0x01000000, 1));
    EXPECT_EQ(Check("u", "pw", 0x01060100), kRightGranted);
}

TEST_F(EvaluationTest, FirstFailingCheckDecides) {
    const int32_t day = 24 * 3600;
    int32_t now = CTime::GetCurrentTime().GetTime();
    PrivilegedUser(0x01000000, 2, now - 2 * day, now - day);  // expired
    EXPECT_EQ(Check("u", "bad", 0x01060000), kRightWrongPassword);
    EXPECT_EQ(Check("u", "PW", 0x01000000), kRightWrongPassword);
    EXPECT_EQ(Check("u", "pw", 0x01060000), kRightOutsidePeriod);
    EXPECT_EQ(Check("u", "pw", 0x01000000), kRightOutsidePeriod);
    EXPECT_EQ(Check("U", "pw", 0x01000000), kRightRefused);
    EXPECT_EQ(Check("nobody", "", 0x01000000), kRightRefused);
    EXPECT_FALSE(IsUserPeriodValid(nullptr));
    EXPECT_EQ(Check(store_->m_strAdminName, store_->m_strAdminPassword, 0x01000000), kRightRefused);

    AddUser(*store_, -1, "minus", "pw");
    AddMember(*store_, 1, -1);
    EXPECT_EQ(Check("minus", "pw", 0x01000000), kRightRefused);
    AddUser(*store_, 8, "loner", "pw");  // in no group
    EXPECT_EQ(Check("loner", "pw", 0x01000000), kRightRefused);
    AddGroup(*store_, 2, "empty");  // another group's right does not count
    AddMember(*store_, 2, 8);
    EXPECT_EQ(Check("loner", "pw", 0x01000000), kRightRefused);
}

TEST_F(EvaluationTest, RightsOfAllTheUsersGroupsAddUp) {
    // "u" is in "first" and then in "second"; each group holds a right the other lacks.
    AddUser(*store_, 7, "u", "pw");
    AddGroup(*store_, 1, "first");
    AddGroup(*store_, 2, "second");
    AddMember(*store_, 1, 7);
    AddMember(*store_, 2, 7);
    Grant(*store_, 1, 0x01010000);
    Grant(*store_, 2, 0x01040000);
    const std::vector<unsigned char> file = StoredBytes(*store_, false);
    const std::pair<uint32_t, int> cases[] = {
        {0x01010201, kRightGranted},  // through the first group
        {0x01040000, kRightGranted},  // only through the second group
        {0x01040201, kRightGranted},  // beneath a right of the second group
        {0x01020000, kRightRefused},  // through neither
    };
    for (const auto& [code, expected] : cases) {
        EXPECT_EQ(Check("u", "pw", code), expected) << std::hex << code;
        const RightCheckFacts facts = ScanForRightCheck(file.data(), file.size(), "u");
        EXPECT_EQ(CheckUserRight(facts, "pw", code), expected) << "scanned " << std::hex << code;
    }
}

TEST_F(EvaluationTest, DuplicateNamesEvaluateTheFirstUser) {
    AddUser(*store_, 4, "dup", "first");
    PrivilegedUser(0x01000000)->m_strName = "dup";  // id 7, password "pw", in group 1
    EXPECT_EQ(Check("dup", "pw", 0x01000000), kRightWrongPassword);
    EXPECT_EQ(Check("dup", "first", 0x01000000), kRightRefused);
    AddMember(*store_, 1, 4);
    EXPECT_EQ(Check("dup", "first", 0x01000000), kRightGranted);
}

struct ValidityCase {
    int kind;
    int fromHour, toHour;  // whole hours; kind 2 on 2026-12-07, other kinds on 2000-01-01
    int hour, minute, second;
    bool valid;
};

class EvaluationValidityTest : public EvaluationTest,
                               public testing::WithParamInterface<ValidityCase> {};

TEST_P(EvaluationValidityTest, Window) {
    const ValidityCase& c = GetParam();
    auto at = [&](int hour) {
        return static_cast<int32_t>(c.kind == 2 ? LocalSeconds(2026, 12, 7, hour, 0, 0)
                                                : CTime(2000, 1, 1, hour, 0, 0).GetTime());
    };
    CInfoUser* user = PrivilegedUser(0x01000000, c.kind, at(c.fromHour), at(c.toHour));
    SetNow(LocalSeconds(2026, 12, 7, c.hour, c.minute, c.second));
    EXPECT_EQ(IsUserPeriodValid(user), c.valid);
    EXPECT_EQ(Check("u", "pw", 0x01010000), c.valid ? kRightGranted : kRightOutsidePeriod);
    if (c.kind != 2) {  // another day, same time of day
        SetNow(LocalSeconds(2025, 3, 15, c.hour, c.minute, c.second));
        EXPECT_EQ(IsUserPeriodValid(user), c.valid);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, EvaluationValidityTest,
    testing::Values(
        ValidityCase{1, 8, 17, 8, 0, 0, true}, ValidityCase{1, 8, 17, 17, 0, 0, true},
        ValidityCase{1, 8, 17, 12, 30, 0, true}, ValidityCase{1, 8, 17, 17, 0, 1, false},
        ValidityCase{1, 8, 17, 7, 59, 59, false}, ValidityCase{1, 8, 17, 0, 0, 0, false},
        ValidityCase{1, 8, 17, 23, 59, 59, false},
        ValidityCase{1, 17, 8, 20, 0, 0, false},  // start after end: nothing
        ValidityCase{1, 17, 8, 3, 0, 0, false}, ValidityCase{1, 17, 8, 12, 0, 0, false},
        ValidityCase{2, 8, 17, 8, 0, 0, true}, ValidityCase{2, 8, 17, 17, 0, 0, true},
        ValidityCase{2, 8, 17, 17, 0, 1, false}, ValidityCase{2, 8, 17, 7, 59, 59, false},
        ValidityCase{0, 17, 8, 3, 0, 0, true}, ValidityCase{3, 0, 23, 12, 0, 0, false},
        ValidityCase{-1, 0, 23, 12, 0, 0, false}));

TEST_F(EvaluationTest, DailyWindowUsesWallClockUnderDaylightSaving) {
    ZoneScope berlin("Europe/Berlin");
    CInfoUser* user = PrivilegedUser(0x01000000, 1, CTime(2000, 1, 1, 8, 0, 0).GetTime(),
                                     CTime(2000, 1, 1, 17, 0, 0).GetTime());
    const struct {
        int month, hour, minute, second;
        bool valid;
    } cases[] = {{7, 16, 59, 59, true}, {7, 17, 0, 1, false}, {7, 8, 0, 0, true},
                 {7, 7, 59, 59, false}, {1, 17, 0, 0, true},  {1, 17, 0, 1, false}};
    for (const auto& c : cases) {
        SetNow(LocalSeconds(2026, c.month, 15, c.hour, c.minute, c.second));
        EXPECT_EQ(IsUserPeriodValid(user), c.valid) << c.month << " " << c.hour << ":" << c.minute;
    }
}

}  // namespace
