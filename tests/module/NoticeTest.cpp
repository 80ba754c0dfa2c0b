// Notices reach the operator through the notice program, or a message box when it is missing.
#include <QWidget>
#include <filesystem>

#include "module/Notice.h"
#include "support/GuiTest.h"

namespace {

class NoticeTest : public GuiTest {};

TEST_F(NoticeTest, TextReachesTheProgramUnchangedAsOneArgument) {
    const std::string marker = Dir() + "/ran";
    const std::string texts[] = {
        "帐号/密码错误，登录失败！",
        "two  blanks and \"quotes\" 'too'",
        "a;touch " + marker + " | $(touch " + marker + ") `touch " + marker + "` > " + marker,
    };
    for (const std::string& text : texts) {
        ShowNotice(Gbk(text.c_str()));
        EXPECT_EQ(m_notices->Notices().back(), text);
    }
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_EQ(m_driver->ShownCount(), 0);
}

class NoticeWithoutProgramTest : public GuiTest {
protected:
    void SetUp() override {
        HidePopnote();
        GuiTest::SetUp();
    }
};

TEST_F(NoticeWithoutProgramTest, FallsBackToAMessageBoxShowingTheCommandLine) {
    QString text;
    m_driver->OnNextModal([&text](QWidget* box) {
        text = MessageText(box);
        PressKey(box, Qt::Key_Return);
    });
    ShowNotice(Gbk("帐号/密码错误，登录失败！"));
    EXPECT_EQ(m_driver->Captions(), std::vector<QString>{QStringLiteral("权限管理")});
    EXPECT_EQ(text, QStringLiteral("Popnote.exe 帐号/密码错误，登录失败！"));
    EXPECT_TRUE(m_notices->Invocations().empty());
}

}  // namespace
