// The credential dialog and the change-password dialog, driven as an operator drives them.
#include <QLineEdit>
#include <QPushButton>

#include "admin_ui/DlgLogin.h"
#include "admin_ui/DlgModifyPwd.h"
#include "resources/ResourceIds.h"
#include "support/GuiTest.h"

namespace {

class CredentialDialogsTest : public GuiTest {};

TEST_F(CredentialDialogsTest, LoginDialogCaptionPresetAndFocus) {
    for (const char* title : {"", "登录..."}) {
        CDlgLogin dialog(Gbk(title));
        dialog.m_strUser = Gbk("管理员");
        m_driver->OnNextModal([](QWidget* window) {
            EXPECT_EQ(ControlText(window, IDC_EDIT_USER), QStringLiteral("管理员"));
            EXPECT_EQ(ControlText(window, IDC_EDIT_PASSWORD), QString());
            EXPECT_EQ(window->focusWidget(), Control(window, IDC_EDIT_USER));
            auto* password = qobject_cast<QLineEdit*>(Control(window, IDC_EDIT_PASSWORD));
            EXPECT_EQ(password->echoMode(), QLineEdit::Password);
            PressKey(window, Qt::Key_Escape);
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    }
    EXPECT_EQ(m_driver->Captions(),
              (std::vector<QString>{QStringLiteral("管理员登录"), QStringLiteral("登录...")}));
}

TEST_F(CredentialDialogsTest, LoginDialogReturnsWhatWasTypedUntrimmed) {
    CDlgLogin dialog;
    m_driver->OnNextModal([](QWidget* window) {
        TypeInto(window, IDC_EDIT_USER, QStringLiteral(" 值班 员 "));
        TypeInto(window, IDC_EDIT_PASSWORD, QStringLiteral("Pw 1"));
        PressKey(window, Qt::Key_Return);  // the default button
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_strUser, Gbk(" 值班 员 "));
    EXPECT_EQ(dialog.m_strPassword, "Pw 1");
}

TEST_F(CredentialDialogsTest, LoginEditsHoldAtMost64BytesOfCodePage936) {
    CDlgLogin dialog;
    m_driver->OnNextModal([](QWidget* window) {
        TypeInto(window, IDC_EDIT_USER, QString(40, QChar(u'值')));  // 80 bytes offered
        TypeInto(window, IDC_EDIT_PASSWORD, QStringLiteral("a😀b"));  // no emoji in CP936
        Click(window, IDOK);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_strUser, Gbk(QString(32, QChar(u'值')).toStdString().c_str()));
    EXPECT_EQ(dialog.m_strPassword, "ab");
}

TEST_F(CredentialDialogsTest, CloseBoxCancels) {
    CDlgModifyPwd dialog;
    m_driver->OnNextModal([](QWidget* window) { window->close(); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(CredentialDialogsTest, ModifyPasswordChecksBeforeItAccepts) {
    struct Case {
        QString password;
        QString confirmation;
        const char* notice;  // null: accepted
    };
    const Case cases[] = {
        {"secret1", "secret2", "密码和确认密码不相等，请重新输入!"},
        {QString(65, 'p'), QString(65, 'p'), "密码长度不可大于64!"},
        {QString(33, QChar(u'密')), QString(33, QChar(u'密')), "密码长度不可大于64!"},
        {QString(64, 'p'), QString(64, 'p'), nullptr},
        {"", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password.toStdString());
        CDlgModifyPwd dialog;
        bool stayedOpen = false;
        m_driver->OnNextModal([&](QWidget* window) {
            EXPECT_EQ(window->focusWidget(), Control(window, IDOK));
            TypeInto(window, IDC_EDIT_NEW_PWD, c.password);
            TypeInto(window, IDC_EDIT_CONFIRM, c.confirmation);
            Click(window, IDOK);
            stayedOpen = window->isVisible();
            if (stayedOpen) {
                EXPECT_EQ(ControlText(window, IDC_EDIT_NEW_PWD), c.password);  // nothing cleared
                Click(window, IDCANCEL);
            }
        });
        const int result = dialog.DoModal();
        EXPECT_EQ(result, c.notice ? IDCANCEL : IDOK);
        EXPECT_EQ(stayedOpen, c.notice != nullptr);
        if (c.notice != nullptr) {
            EXPECT_EQ(m_notices->Notices().back(), c.notice);
        } else {
            EXPECT_EQ(dialog.m_strNewPwd, CString(c.password.toStdString().c_str()));
        }
    }
}

}  // namespace
