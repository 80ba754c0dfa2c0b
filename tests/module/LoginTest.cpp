// The login session, row by row through its states: logged out, login dialog open, logged in.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstring>
#include <filesystem>

#include "module/LoginSession.h"
#include "module/WardletApp.h"
#include "resources/ResourceIds.h"
#include "support/GuiTest.h"
#include "wardlet/platform/MessagePump.h"
#include "wardlet/wardlet.h"

namespace {

constexpr int64_t kMinute = 60 * 1000;

class LoginTest : public GuiTest {};

TEST_F(LoginTest, AdministratorLogsInOnMissingFileAndOutAgain) {
    ASSERT_FALSE(DataFileExists());
    LogInAs("Admin", "4827");
    EXPECT_EQ(m_driver->Captions(), std::vector<QString>{QStringLiteral("登录...")});
    EXPECT_EQ(StatusUtf8(), "本地用户Admin登录成功!");
    EXPECT_EQ(theApp.m_strCurUser, "Admin");
    EXPECT_EQ(theApp.m_strCurPassword, "4827");
    EXPECT_EQ(LoginSlotCount(), 0);
    EXPECT_EQ(NextTimerDueIn(), 3 * kMinute);  // the default interval
    EXPECT_TRUE(m_notices->Notices().empty());

    LogOut();
    EXPECT_EQ(StatusUtf8(), "本地用户Admin注销成功!");
    EXPECT_EQ(m_notices->Notices(), std::vector<std::string>{"用户“Admin”注销成功"});
    EXPECT_TRUE(theApp.m_strCurUser.IsEmpty());
    EXPECT_TRUE(theApp.m_strCurPassword.IsEmpty());
    EXPECT_EQ(LoginSlotCount(), 1);
    EXPECT_EQ(NextTimerDueIn(), -1);
}

TEST_F(LoginTest, RefusalsGiveStatusAndNoticeAndFreeTheSlot) {
    SavePlantStore();
    struct Case {
        const char* user;
        const char* password;
        const char* status;
        const char* notice;
    };
    const Case cases[] = {
        {"op", "wrong", "本地用户登录失败!用户op帐号/密码错误!", "帐号/密码错误，登录失败！"},
        {"nobody", "op1", "本地用户登录失败!用户nobody帐号/密码错误!", "帐号/密码错误，登录失败！"},
        // The daily window excludes 10:00; credentials are tested before the period.
        {"night", "n1", "本地用户登录失败!用户night帐号已过期!", "帐号已过期，登录失败！"},
        {"night", "bad", "本地用户登录失败!用户night帐号/密码错误!", "帐号/密码错误，登录失败！"},
        {"old", "o1", "本地用户登录失败!用户old帐号已过期!", "帐号已过期，登录失败！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user + std::string("/") + c.password);
        LogInAs(c.user, c.password);
        EXPECT_EQ(StatusUtf8(), c.status);
        EXPECT_EQ(m_notices->Notices().back(), c.notice);
        EXPECT_TRUE(theApp.m_strCurUser.IsEmpty());
        EXPECT_EQ(LoginSlotCount(), 1);
        EXPECT_EQ(NextTimerDueIn(), -1);
    }
}

TEST_F(LoginTest, CancelledDialogChangesNothing) {
    for (const int key : {0, static_cast<int>(Qt::Key_Escape)}) {
        if (key == 0) {
            CancelNextDialog();
        } else {
            m_driver->OnNextModal([key](QWidget* dialog) { PressKey(dialog, key); });
        }
        LogInEx(12345);
        EXPECT_EQ(StatusUtf8(), "");
        EXPECT_EQ(LoginSlotCount(), 1);
        EXPECT_TRUE(theApp.m_strCurUser.IsEmpty());
    }
    EXPECT_TRUE(m_notices->Notices().empty());
}

TEST_F(LoginTest, SecondLoginIsRefusedWithoutDialog) {
    SavePlantStore();
    LogInAs("op", "op1");
    LogInEx(-1);  // no dialog is queued: one would be reported as unexpected
    EXPECT_EQ(m_driver->ShownCount(), 1);
    EXPECT_EQ(StatusUtf8(), "用户op已登录!本地用户登录操作失败!");
    EXPECT_EQ(m_notices->Notices(), std::vector<std::string>{"用户 op 已登录!"});
    EXPECT_EQ(theApp.m_strCurUser, "op");
    EXPECT_EQ(LoginSlotCount(), 0);
}

TEST_F(LoginTest, LogoutWhileNobodyIsLoggedInShowsNothing) {
    LogOutEx(7);
    EXPECT_EQ(StatusUtf8(), "注销操作：当前无人登录！");
    EXPECT_TRUE(m_notices->Notices().empty());
    EXPECT_EQ(LoginSlotCount(), 1);
}

TEST_F(LoginTest, BeforeAnyDataSourceEveryWaitFails) {
    theApp.m_hSemaphore.reset();
    LogIn();
    EXPECT_EQ(StatusUtf8(), "用户已登录!本地用户登录操作失败!");
    EXPECT_EQ(m_notices->Notices(), std::vector<std::string>{"用户  已登录!"});
    LogOut();
    EXPECT_EQ(StatusUtf8(), "注销操作：当前无人登录！");
    EXPECT_EQ(m_notices->Notices().back(), "注销操作：当前无人登录！");
}

TEST_F(LoginTest, AutomaticLogoutFiresOnceSilently) {
    SavePlantStore();  // five minutes
    LogInAs("op", "op1");
    AdvanceTimerClock(5 * kMinute - 1);
    EXPECT_EQ(theApp.m_strCurUser, "op");
    AdvanceTimerClock(1);
    EXPECT_TRUE(theApp.m_strCurUser.IsEmpty());
    EXPECT_EQ(LoginSlotCount(), 1);
    EXPECT_EQ(NextTimerDueIn(), -1);  // fired once
    EXPECT_EQ(StatusUtf8(), "本地用户op登录成功!");
    EXPECT_TRUE(m_notices->Notices().empty());
    char name[65] = "", password[65] = "";
    EXPECT_EQ(GetCurUserInfo(name, password), 0);
}

TEST_F(LoginTest, AutomaticLogoutFiresInsideAModalDialog) {
    SavePlantStore();
    LogInAs("op", "op1");
    // The verification dialog (op may not touch strategies) stays open past the interval; its
    // own loop runs the logout before the operator cancels.
    m_driver->OnNextModal([](QWidget* dialog) {
        MoveTimerClock(5 * kMinute);
        QTimer::singleShot(0, dialog, [dialog]() { Click(dialog, IDCANCEL); });
    });
    char buffer[65] = "";
    EXPECT_EQ(GetPassed(0x01020000, buffer), 1);
    EXPECT_TRUE(theApp.m_strCurUser.IsEmpty());
    EXPECT_EQ(LoginSlotCount(), 1);
}

TEST_F(LoginTest, NewLoginAfterAnotherProcessLoggedOutLeavesNoStrayTimer) {
    LogInAs("Admin", "4827");
    theApp.m_hSemaphore->Release(1);  // a LogOut in another process of the host
    LogInAs("Admin", "4827");
    EXPECT_EQ(NextTimerDueIn(), 3 * kMinute);
    AdvanceTimerClock(3 * kMinute);
    EXPECT_EQ(NextTimerDueIn(), -1) << "the first login's timer must not run on";
}

TEST_F(LoginTest, HostileUserNameReachesTheNoticeVerbatim) {
    const std::string marker = Dir() + "/ran";
    const std::string hostile = "a;touch " + marker + "`id`$(id)";  // within the 64-byte limit
    CSaveProp store;
    AddUser(store, 0, hostile.c_str(), "pw");
    ASSERT_EQ(store.SaveToFile(), 1);
    LogInAs(hostile.c_str(), "pw");
    LogOut();
    EXPECT_EQ(m_notices->Notices(), std::vector<std::string>{"用户“" + hostile + "”注销成功"});
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST_F(LoginTest, UnloadingTheLibraryStopsTheTimerAndItsApplicationObject) {
    LogInAs("Admin", "4827");
    m_driver.reset();  // its filter sits on the application object that goes with the library
    theApp.ExitInstance();
    EXPECT_EQ(NextTimerDueIn(), -1);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

TEST_F(LoginTest, SessionKeepsTheAccountItLoggedInWithAcrossSaves) {
    // Two accounts of one name, as editing allows. The operator logs in with the first; a save
    // writes both, and the session must not take the second one's password.
    CSaveProp store;
    AddUser(store, 0, "twin", "first");
    AddUser(store, 1, "twin", "second");
    AddGroup(store, 0, "Operators");
    AddMember(store, 0, 0);
    Grant(store, 0, 0x01010000);
    ASSERT_EQ(store.SaveToFile(), 1);
    LogInAs("twin", "first");
    ASSERT_EQ(theApp.m_strCurUser, "twin");

    struct Step {
        const char* what;
        int32_t changedID;  // the account whose password the save changes, or -1
        const char* newPassword;
        const char* sessionPassword;
    };
    const Step steps[] = {
        {"a save that changes nothing", -1, "", "first"},
        {"the other account's password changes", 1, "third", "first"},
        {"the session's own password changes", 0, "renewed", "renewed"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        CSaveProp loaded;
        ASSERT_EQ(loaded.LoadFromFile(), 1);
        for (POSITION p = loaded.m_dataManager.m_userList.GetHeadPosition(); p;) {
            auto* user = static_cast<CInfoUser*>(loaded.m_dataManager.m_userList.GetNext(p));
            if (user->m_nID == step.changedID) user->m_strPassword = step.newPassword;
        }
        ASSERT_EQ(loaded.SaveToFile(), 1);

        char buffer[65] = {};
        std::memcpy(buffer, Gbk("不弹框").GetString(), Gbk("不弹框").GetLength());
        EXPECT_EQ(GetPassed(0x01010301, buffer), 0) << "the operator keeps the right";
        char name[65] = "", password[65] = "";
        EXPECT_EQ(GetCurUserInfo(name, password), 1);
        EXPECT_STREQ(name, "twin");
        EXPECT_STREQ(password, step.sessionPassword);
    }
    EXPECT_EQ(m_driver->ShownCount(), 1);  // the login dialog only
}

TEST(LogoutInterval, StaysWithinWhatATimerCanWait) {
    EXPECT_EQ(LogoutIntervalMs(3), 180000u);
    EXPECT_EQ(LogoutIntervalMs(999), 59940000u);
    EXPECT_EQ(LogoutIntervalMs(0), 10u);
    EXPECT_EQ(LogoutIntervalMs(-5), 10u);
    EXPECT_EQ(LogoutIntervalMs(INT32_MAX), 0x7FFFFFFFu);
}

}  // namespace
