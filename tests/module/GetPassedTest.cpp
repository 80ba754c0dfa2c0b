// GetPassed: the logged-in user first, then the verification dialog unless the host forbids it.
#include <cstring>

#include "module/WardletApp.h"
#include "platform/Cp936.h"
#include "support/GuiTest.h"
#include "wardlet/platform/MessagePump.h"
#include "wardlet/wardlet.h"

namespace {

constexpr uint32_t kDeviceSettings = 0x01010301;  // held by group Operators
constexpr uint32_t kStrategies = 0x01020000;      // held by nobody
constexpr int64_t kMinute = 60 * 1000;

class GetPassedTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        SavePlantStore();
    }
    void LogInAs(const char* user, const char* password) {
        GuiTest::LogInAs(user, password);
        ASSERT_EQ(theApp.m_strCurUser, user);
    }
    // A host buffer holding `utf8` in CP936.
    void Fill(const char* utf8) {
        std::memset(m_buffer, 0, sizeof m_buffer);
        const CString bytes = Gbk(utf8);
        std::memcpy(m_buffer, bytes.GetString(), static_cast<size_t>(bytes.GetLength()));
    }
    std::string Buffer() const { return Utf8FromCp936(m_buffer).value_or("(not CP936)"); }

    char m_buffer[256] = {};
};

TEST_F(GetPassedTest, LoggedInUserWithTheRightPassesSilentlyAndPostponesTheLogout) {
    LogInAs("op", "op1");
    AdvanceTimerClock(4 * kMinute);
    Fill("host text");
    EXPECT_EQ(GetPassed(kDeviceSettings, m_buffer), 0);
    EXPECT_EQ(Buffer(), "op");
    EXPECT_EQ(m_driver->ShownCount(), 1);  // the login dialog only
    EXPECT_EQ(NextTimerDueIn(), 5 * kMinute);
    AdvanceTimerClock(5 * kMinute - 1);
    EXPECT_EQ(theApp.m_strCurUser, "op");
    AdvanceTimerClock(1);
    EXPECT_TRUE(theApp.m_strCurUser.IsEmpty());
}

TEST_F(GetPassedTest, RefusedCheckDoesNotPostponeTheLogout) {
    // Asking for a right one does not hold must not keep the session alive.
    LogInAs("op", "op1");
    AdvanceTimerClock(4 * kMinute);
    Fill("不弹框");
    EXPECT_EQ(GetPassed(kStrategies, m_buffer), 3);
    EXPECT_EQ(NextTimerDueIn(), 1 * kMinute);
    AdvanceTimerClock(1 * kMinute - 1);
    EXPECT_EQ(theApp.m_strCurUser, "op");
    AdvanceTimerClock(1);
    EXPECT_TRUE(theApp.m_strCurUser.IsEmpty());
}

TEST_F(GetPassedTest, NoDialogWhenTheHostSaysSo) {
    Fill("请不弹框!");
    EXPECT_EQ(GetPassed(kDeviceSettings, m_buffer), 3);
    EXPECT_EQ(Buffer(), "请不弹框!");  // nobody logged in: unchanged
    EXPECT_EQ(LoginSlotCount(), 1);

    LogInAs("op", "op1");
    Fill("不弹框");
    EXPECT_EQ(GetPassed(kStrategies, m_buffer), 3);
    EXPECT_EQ(Buffer(), "op");
    EXPECT_EQ(m_driver->ShownCount(), 1);
}

TEST_F(GetPassedTest, NoDialogMarkerIsMatchedOnCharacterBoundaries) {
    // "不弹框" is B2 BB B5 AF BF F2; here its bytes appear only across character boundaries.
    const std::string straddling = "\xB0\xB2\xBB\xB5\xAF\xBF\xF2\xA1";
    EXPECT_FALSE(Cp936Contains(straddling, Gbk("不弹框").View()));
    std::string prefixed = "a";
    prefixed += Gbk("不弹框").View();
    EXPECT_TRUE(Cp936Contains(prefixed, Gbk("不弹框").View()));
    std::memcpy(m_buffer, straddling.c_str(), straddling.size() + 1);
    CancelNextDialog();
    EXPECT_EQ(GetPassed(kDeviceSettings, m_buffer), 1);
    EXPECT_EQ(std::string(m_buffer), straddling);  // cancelled with nobody logged in: unchanged
}

TEST_F(GetPassedTest, DialogAnswersFollowTheEvaluation) {
    struct Case {
        const char* user;
        const char* password;
        uint32_t code;
        int result;
    };
    const Case cases[] = {
        {"Admin", "4827", 0xDEADBEEF, 0},   {"op", "op1", kDeviceSettings, 0},
        {"op", "bad", kDeviceSettings, 2},  {"op", "op1", kStrategies, 3},
        {"ghost", "x", kDeviceSettings, 3}, {"old", "o1", kDeviceSettings, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        Fill("");
        AnswerCredentials(QString::fromUtf8(c.user), QString::fromUtf8(c.password));
        EXPECT_EQ(GetPassed(c.code, m_buffer), c.result);
        EXPECT_EQ(Buffer(), c.user);
        EXPECT_EQ(m_driver->Captions().back(), QStringLiteral("权限验证..."));
    }
    EXPECT_EQ(LoginSlotCount(), 1);  // nobody was logged in by the checks
    EXPECT_TRUE(m_notices->Notices().empty());
}

TEST_F(GetPassedTest, LoggedInUserWithoutTheRightMayBeStoodInFor) {
    LogInAs("op", "op1");
    AnswerCredentials("Admin", "4827");
    EXPECT_EQ(GetPassed(kStrategies, m_buffer), 0);
    EXPECT_EQ(Buffer(), "Admin");
    EXPECT_EQ(theApp.m_strCurUser, "op");
    EXPECT_EQ(LoginSlotCount(), 0);
    EXPECT_EQ(NextTimerDueIn(), 5 * kMinute);  // a check granted in the dialog postpones nothing

    CancelNextDialog();
    Fill("host");
    EXPECT_EQ(GetPassed(kStrategies, m_buffer), 1);
    EXPECT_EQ(Buffer(), "op");
}

}  // namespace
