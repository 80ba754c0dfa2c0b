// Dialogs built from templates: controls by id, tab order, data exchange and its validation.
#include <QLineEdit>

#include "platform/DataExchange.h"
#include "platform/Dialog.h"
#include "support/GuiTest.h"

namespace {

const DialogTemplate kMinutesTemplate = {
    9001,
    "分钟",
    120,
    60,
    "宋体",
    9,
    {
        {IDC_STATIC, ControlKind::kStatic, kStaticRight, "分钟:", 4, 6, 30, 8},
        {100, ControlKind::kEdit, kBorder, "", 40, 4, 40, 12},
        {101, ControlKind::kEdit, kBorder, "", 40, 20, 40, 12},
        {IDOK, ControlKind::kDefPushButton, kStyleNone, "确定", 10, 40, 40, 14},
        {IDCANCEL, ControlKind::kPushButton, kStyleNone, "取消", 60, 40, 40, 14},
    },
};

// Like the settings page's minutes: an integer from 1 to 999, and a remark of 8 bytes at most.
class MinutesDialog : public CDialog {
public:
    MinutesDialog() : CDialog(kMinutesTemplate) {}
    int m_nMinutes = 3;
    CString m_strRemark;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, 100, m_nMinutes);
        DDV_MinMaxInt(pDX, m_nMinutes, 1, 999);
        DDX_Text(pDX, 101, m_strRemark);
        DDV_MaxChars(pDX, m_strRemark, 8);
    }
};

class DialogTest : public GuiTest {
protected:
    // Replaces the edit's text and presses OK; returns the validation message, if one came.
    QString TryOk(QWidget* window, int id, const QString& text) {
        qobject_cast<QLineEdit*>(Control(window, id))->setText(text);
        QString message;
        m_driver->OnNextModal([&message](QWidget* box) {
            message = MessageText(box);
            PressKey(box, Qt::Key_Return);
        });
        const int before = m_driver->ShownCount();
        Click(window, IDOK);
        if (m_driver->ShownCount() == before) m_driver->DropPending();
        return message;
    }
};

TEST_F(DialogTest, ControlsFollowTheTemplate) {
    MinutesDialog dialog;
    m_driver->OnNextModal([](QWidget* window) {
        EXPECT_EQ(ControlText(window, 100), QStringLiteral("3"));
        EXPECT_EQ(window->focusWidget(), Control(window, 100));
        EXPECT_EQ(Control(window, 100)->nextInFocusChain(), Control(window, 101));
        // Dialog units keep the template's proportions whatever the font.
        const QRect first = Control(window, 100)->geometry();
        const QRect second = Control(window, 101)->geometry();
        EXPECT_EQ(first.width(), second.width());
        EXPECT_GT(second.top(), first.bottom());
        EXPECT_GT(window->width(), first.right());
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, RefusedValuesKeepTheDialogOpen) {
    MinutesDialog dialog;
    std::vector<QString> messages;
    m_driver->OnNextModal([&](QWidget* window) {
        // Set past the edit's own limit, as only a program can: 10 bytes.
        qobject_cast<QLineEdit*>(Control(window, 101))->setText(QStringLiteral("四个汉字多"));
        messages.push_back(TryOk(window, 100, "abc"));
        messages.push_back(TryOk(window, 100, "1000"));
        EXPECT_EQ(window->focusWidget(), Control(window, 100));
        messages.push_back(TryOk(window, 100, " 42 "));
        messages.push_back(TryOk(window, 101, QStringLiteral("四个汉字")));
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(messages, (std::vector<QString>{
                            QStringLiteral("请输入一个整数。"),
                            QStringLiteral("请输入一个介于 1 和 999 之间的整数。"),
                            QStringLiteral("请输入不超过 8 个字符。"),
                            QString(),
                        }));
    EXPECT_EQ(dialog.m_nMinutes, 42);
    EXPECT_EQ(dialog.m_strRemark, Gbk("四个汉字"));
}

}  // namespace
