// One login per workstation: the login slot is shared by every process of the host program, while
// each process keeps its own user name. Forked processes play the other processes of the host; the
// test process itself must not have started the GUI toolkit before it forks, so this runs in a
// process of its own.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "module/LoginSession.h"
#include "module/WardletApp.h"
#include "platform/GuiApplication.h"
#include "resources/ResourceIds.h"
#include "support/ModalDriver.h"
#include "support/NoticeRecorder.h"
#include "support/Processes.h"
#include "support/StoreTest.h"
#include "wardlet/wardlet.h"

namespace {

class LoginAcrossProcesses : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        if (QCoreApplication::instance() != nullptr) {
            GTEST_SKIP() << "needs a process without a GUI application (run it through ctest)";
        }
        SetDataSource(DataPath().c_str());
    }
    void TearDown() override {
        StopLogoutTimer();
        StoreTest::TearDown();
    }
};

// Logs the administrator in through the login dialog; 0 on success.
int LogInAdministrator() {
    std::string whyNot;
    if (!gui::EnsureApplication(&whyNot)) return 10;
    ModalDriver driver;
    driver.OnNextModal([](QWidget* dialog) {
        TypeInto(dialog, IDC_EDIT_USER, "Admin");
        TypeInto(dialog, IDC_EDIT_PASSWORD, "4827");
        Click(dialog, IDOK);
    });
    LogIn();
    return theApp.m_strCurUser == "Admin" ? 0 : 11;
}

TEST_F(LoginAcrossProcesses, OneLoginHoldsForEveryProcessOfTheHost) {
    NoticeRecorder notices(Dir() + "/notices.log", true);
    // The other process logs in and ends; the login outlives it while this process has the
    // slot open.
    EXPECT_EQ(ExitCode(Spawn(LogInAdministrator)), 0);

    // Refused without a dialog, with this process's own (empty) name.
    LogIn();
    EXPECT_EQ(theApp.m_strLogStatus, Gbk("用户已登录!本地用户登录操作失败!"));
    EXPECT_EQ(theApp.m_hSemaphore->Count(), 0);
    EXPECT_EQ(notices.Notices(), std::vector<std::string>{"用户  已登录!"});
    // A logout here ends the other process's login.
    LogOut();
    EXPECT_EQ(theApp.m_hSemaphore->Count(), 1);
    EXPECT_EQ(notices.Notices().back(), "注销操作：当前无人登录！");
}

TEST_F(LoginAcrossProcesses, NextStartAfterEveryProcessEndedIsLoggedOut) {
    // A process of the host logs in and ends without logging out.
    EXPECT_EQ(ExitCode(Spawn(LogInAdministrator)), 0);
    EXPECT_EQ(theApp.m_hSemaphore->Count(), 0);
    // This last process of the host ends too; the host starts again.
    theApp.m_hSemaphore.reset();
    SetDataSource(DataPath().c_str());
    EXPECT_EQ(theApp.m_hSemaphore->Count(), 1);
    EXPECT_EQ(LogInAdministrator(), 0);
    EXPECT_EQ(theApp.m_hSemaphore->Count(), 0);
}

}  // namespace
