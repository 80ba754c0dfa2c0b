// What the library writes to the audit trail: logins accepted and refused, logouts by hand and by
// the timer, GetPassed decisions, the sheet and password changes; never a password, never an
// Islegal, and never a changed answer when the trail cannot be written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "audit/AuditTrail.h"
#include "module/AuditHook.h"
#include "platform/MessageBox.h"
#include "resources/ResourceIds.h"
#include "support/GuiTest.h"
#include "wardlet/wardlet.h"

namespace {

using Detail = std::vector<std::pair<std::string, std::string>>;

struct Seen {
    std::string event, user, outcome, code, via, reason;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& seen) {
    return out << seen.event << "|" << seen.user << "|" << seen.outcome << "|" << seen.code << "|"
               << seen.via << "|" << seen.reason;
}

// A host buffer holding `utf8` in code page 936.
void Fill(char* buffer, const char* utf8) {
    const CString bytes = Gbk(utf8);
    std::memcpy(buffer, bytes.GetString(), static_cast<size_t>(bytes.GetLength()) + 1);
}

class AuditTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        SavePlantStore();
    }
    std::string TrailPath() const { return AuditTrailPath(DataPath()); }
    std::vector<AuditRecord> Records() const {
        AuditReadResult read = ReadAuditTrail(TrailPath());
        EXPECT_TRUE(read.error.empty()) << read.error;
        return read.records;
    }
    std::vector<Seen> SeenRecords() const {
        std::vector<Seen> seen;
        for (const AuditRecord& r : Records()) {
            seen.push_back({r.event, r.user, r.outcome, r.code, r.via, r.reason});
        }
        return seen;
    }
    std::string TrailBytes() const {
        std::ifstream in(TrailPath(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
};

TEST_F(AuditTest, LoginsLogoutsAndDecisionsAreRecordedInOrder) {
    AnswerCredentials("op", "wrong");
    LogIn();
    AnswerCredentials("old", "o1");
    LogIn();
    CancelNextDialog();
    LogIn();
    LogInAs("op", "op1");
    char buffer[256] = "";
    EXPECT_EQ(GetPassed(0x01010100, buffer), 0);
    EXPECT_EQ(Islegal("op", "op1", 0x01010100), 1);  // never recorded
    AnswerCredentials("op", "op1");
    EXPECT_EQ(GetPassed(0x01020000, buffer), 3);
    LogOut();
    LogInAs("op", "op1");
    AdvanceTimerClock(5 * 60 * 1000);
    const std::vector<Seen> expected = {
        {"login", "op", "refused", "", "", "wrong name or password"},
        {"login", "old", "refused", "", "", "the account is outside its validity period"},
        {"login", "", "cancelled", "", "", "the login dialog was cancelled"},
        {"login", "op", "accepted", "", "", ""},
        {"get-passed", "op", "granted", "0x01010100", "logged-in", ""},
        {"get-passed", "op", "refused", "0x01020000", "dialog", ""},
        {"logout", "op", "logged-out", "", "hand", ""},
        {"login", "op", "accepted", "", "", ""},
        {"logout", "op", "logged-out", "", "timer", ""},
    };
    EXPECT_EQ(SeenRecords(), expected);
    EXPECT_TRUE(VerifyAuditTrail(TrailPath()).intact);
    EXPECT_EQ(TrailBytes().find("op1"), std::string::npos);
    EXPECT_EQ(TrailBytes().find("wrong\""), std::string::npos);
}

TEST_F(AuditTest, TheSheetRecordsOpeningCancellingAndASavedSummary) {
    auto sheet = [this](int closeWith) {
        AnswerCredentials("Admin", "4827");
        m_driver->OnNextModal([closeWith](QWidget* window) { Click(window, closeWith); });
        Config();
    };
    sheet(IDCANCEL);
    sheet(IDOK);
    AnswerCredentials("Admin", "nope");
    Config();
    const std::vector<Seen> expected = {
        {"config", "Admin", "opened", "", "", ""},
        {"config", "Admin", "cancelled", "", "", ""},
        {"config", "Admin", "opened", "", "", ""},
        {"config", "Admin", "saved", "", "", ""},
        {"config", "Admin", "refused", "", "", "wrong name or password"},
    };
    EXPECT_EQ(SeenRecords(), expected);
}

TEST_F(AuditTest, ModifyPwdIsRecordedWithoutEitherPassword) {
    EXPECT_EQ(ModifyPWD("op", "op1", "s3cret-new"), 1);
    EXPECT_EQ(ModifyPWD("op", "bad-guess", "x"), 0);
    const std::vector<Seen> expected = {
        {"modify-password", "op", "changed", "", "ModifyPWD", ""},
        {"modify-password", "op", "refused", "", "ModifyPWD", "wrong name or password"},
    };
    EXPECT_EQ(SeenRecords(), expected);
    for (const char* secret : {"op1", "s3cret-new", "bad-guess"}) {
        EXPECT_EQ(TrailBytes().find(secret), std::string::npos) << secret;
    }
}

TEST_F(AuditTest, StoreChangesAreSummarisedByNameNeverByPassword) {
    CSaveProp before;
    before.LoadFromFile();
    CSaveProp after;
    CopyStore(before, &after);
    EXPECT_TRUE(DescribeStoreChanges(before, after).empty());
    after.m_dataManager.FindUserByName("op")->m_strPassword = "changed-secret";
    after.m_dataManager.FindUserByName("night")->m_strName = "nacht";
    AddUser(after, 7, "neu", "n");
    AddGroup(after, 3, "Guards");
    AddMember(after, 3, 7);
    Grant(after, 3, 0x01020000);
    after.m_dataManager.RemoveUser(after.m_dataManager.FindUserByName("old"));
    after.m_nLogoutMinutes = 9;
    const Detail expected = {
        {"users_added", "neu"},
        {"users_removed", "old"},
        {"users_changed", "op (password), night (name nacht)"},
        {"groups_added", "Guards"},
        {"memberships_added", "nacht / Operators, neu / Guards"},
        {"memberships_removed", "night / Operators, old / Operators"},
        {"rights_added", "Guards / 0x01020000"},
        {"settings_changed", "automatic logout"},
    };
    EXPECT_EQ(DescribeStoreChanges(before, after), expected);
}

TEST_F(AuditTest, AnUnwritableTrailNeverChangesAnAnswerAndIsReportedOnce) {
    LogInAs("op", "op1");
    // A folder where the trail belongs: no process can append to it.
    ASSERT_EQ(unlink(TrailPath().c_str()), 0);
    ASSERT_EQ(mkdir(TrailPath().c_str(), 0700), 0);
    ResetAuditFailureReport();
    char buffer[256] = "";
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetPassed(0x01010100, buffer), 0);
    Fill(buffer, "不弹框");
    EXPECT_EQ(GetPassed(0x01020000, buffer), 3);
    EXPECT_EQ(ModifyPWD("op", "op1", "op2"), 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors.find("wardlet: cannot write the audit trail"), 0u) << errors;
    EXPECT_EQ(errors.find("wardlet:", 1), std::string::npos) << errors;
    EXPECT_EQ(Islegal("op", "op2", 0x01010100), 1);
}

}  // namespace
