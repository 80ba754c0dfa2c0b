// With no display at all, the library never starts the GUI toolkit: dialogs end as cancelled at
// once and message boxes go to standard error. Run in a process of its own with no display.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>

#include "module/Notice.h"
#include "module/WardletApp.h"
#include "support/NoticeRecorder.h"
#include "support/StoreTest.h"
#include "wardlet/wardlet.h"

namespace {

class NoDisplay : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDataSource(DataPath().c_str());
    }
};

TEST_F(NoDisplay, DialogsAreCancelledAndSaySo) {
    NoticeRecorder notices(Dir() + "/notices.log", false);
    ::testing::internal::CaptureStderr();
    LogIn();
    char buffer[65] = "";
    const int passed = GetPassed(0x01010000, buffer);
    Config();
    ShowNotice(Gbk("帐号已过期，登录失败！"));
    const std::string errors = ::testing::internal::GetCapturedStderr();

    EXPECT_TRUE(theApp.m_strLogStatus.IsEmpty());  // a cancelled login
    EXPECT_EQ(theApp.m_hSemaphore->Count(), 1);
    EXPECT_EQ(passed, 1);
    EXPECT_FALSE(DataFileExists());  // Config returned at once, saving nothing
    EXPECT_NE(errors.find("no display"), std::string::npos) << errors;
    EXPECT_NE(errors.find("权限管理: Popnote.exe 帐号已过期，登录失败！"), std::string::npos)
        << errors;
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

TEST_F(NoDisplay, UnreachableDisplayCancelsTooInsteadOfAbortingTheHost) {
    setenv("DISPLAY", ":48273", 1);  // nothing listens there
    ::testing::internal::CaptureStderr();
    LogIn();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    unsetenv("DISPLAY");
    EXPECT_NE(errors.find("the X display :48273 cannot be reached"), std::string::npos) << errors;
    EXPECT_EQ(theApp.m_hSemaphore->Count(), 1);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
}

}  // namespace
