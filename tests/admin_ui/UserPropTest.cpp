// The user property dialog, driven as an operator drives it: texts, validity period and groups.
#include <QTableWidget>
#include <utility>
#include <vector>

#include "admin_ui/DlgUserProp.h"
#include "platform/DateTimePicker.h"
#include "resources/ResourceIds.h"
#include "support/GuiTest.h"

namespace {

using Links = std::vector<std::pair<int32_t, int32_t>>;  // group, user; in list order

class UserPropTest : public GuiTest {
protected:
    // Users 0 "op" and 1 "值班员"; groups listed out of number order, as the rows show them;
    // user 1 belongs to groups 2 and 1, user 0 to group 1.
    UserPropTest() { Populate(m_store); }

    static void Populate(CSaveProp& store) {
        AddUser(store, 0, "op", "op1");
        AddUser(store, 1, Gbk("值班员"), "d1");
        AddGroup(store, 2, Gbk("运行"));
        AddGroup(store, 0, Gbk("维护"));
        AddGroup(store, 1, Gbk("调度"));
        AddMember(store, 2, 1);
        AddMember(store, 1, 0);
        AddMember(store, 1, 1);
    }

    static Links StoredLinks(const CSaveProp& store) {
        Links links;
        const CObList& list = store.m_dataManager.m_groupUserList;
        for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
            const auto* link = static_cast<const CInfoGroupUser*>(list.GetNext(pos));
            links.emplace_back(link->m_nGroupID, link->m_nUserID);
        }
        return links;
    }

    int Show(CDlgUserProp& dialog, ModalDriver::Action action) {
        m_driver->OnNextModal(std::move(action));
        return dialog.DoModal();
    }

    // After OK: the last notice shown, or "" when the dialog closed.
    std::string Refusal(int result) {
        if (result == IDOK) return "";
        const std::vector<std::string> notices = m_notices->Notices();
        return notices.empty() ? "(no notice)" : notices.back();
    }

    CSaveProp m_store;
};

// Presses OK; a refused dialog is then cancelled.
void PressOk(QWidget* window) {
    Click(window, IDOK);
    if (window->isVisible()) Click(window, IDCANCEL);
}

bool IsOn(QWidget* window, int id) { return Control(window, id)->isEnabled(); }
bool IsChecked(QWidget* window, int id) {
    return Control(window, id)->property("checked").toBool();
}

TEST_F(UserPropTest, OkTrimsTheNameAndRefusesBadNamesAndPasswords) {
    struct Case {
        int32_t edit, userID;
        QString typed, confirm;  // the name; the confirmation of the password "pw"
        QString shown;           // the name field after OK
        std::string notice;
    };
    const Case cases[] = {
        {0, 2, QStringLiteral("  新人 "), "pw", QStringLiteral("新人"), ""},
        {0, 2, "   ", "pw", "", "用户名字不能为空或空格!"},
        {0, 2, "op", "pw", "op", "该用户名已存在!"},
        {1, 0, "op", "pw", "op", ""},                  // keeps its own name
        {1, 1, " op", "pw", "op", ""},                 // an edit may take another's
        {0, 2, "Op", "pW", "Op", "密码和确认密码不相等，请重新输入!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        CDlgUserProp dialog(&m_store);
        dialog.m_bEdit = c.edit;
        dialog.m_nUserID = c.userID;
        const int result = Show(dialog, [&](QWidget* window) {
            EXPECT_EQ(window->windowTitle(), QStringLiteral("用户属性"));
            TypeInto(window, IDC_EDIT_NAME, c.typed);
            TypeInto(window, IDC_EDIT_USER_PWD, "pw");
            TypeInto(window, IDC_EDIT_USER_CONFIRM, c.confirm);
            PressOk(window);
            EXPECT_EQ(ControlText(window, IDC_EDIT_NAME), c.shown);
        });
        EXPECT_EQ(Refusal(result), c.notice);
        EXPECT_EQ(dialog.m_strName, Gbk(c.shown.toStdString().c_str()));
    }
}

TEST_F(UserPropTest, DailyWindowMayNotPassMidnight) {
    for (const int fromHour : {8, 18}) {
        CDlgUserProp dialog(&m_store);
        dialog.m_nUserID = 2;
        const int result = Show(dialog, [&](QWidget* window) {
            EXPECT_FALSE(IsOn(window, IDC_DAILY_FROM));
            TypeInto(window, IDC_EDIT_NAME, "night");
            Click(window, IDC_RADIO_DAILY);
            EXPECT_FALSE(IsChecked(window, IDC_RADIO_FOREVER));
            EXPECT_TRUE(IsOn(window, IDC_DAILY_FROM) && IsOn(window, IDC_STATIC_DAILY_TO));
            EXPECT_FALSE(IsOn(window, IDC_FROM_DATE));
            EXPECT_EQ(ControlText(window, IDC_EDIT_NAME), "night");  // the typed text survives
            dynamic_cast<DateTimePickerWidget*>(Control(window, IDC_DAILY_FROM))
                ->setTime(QTime(fromHour, 0, 0));
            dynamic_cast<DateTimePickerWidget*>(Control(window, IDC_DAILY_TO))
                ->setTime(QTime(8, 0, 0));
            PressOk(window);
        });
        EXPECT_EQ(Refusal(result), fromHour == 8 ? "" : "时间段起始时间大于结束时间!");
        EXPECT_EQ(dialog.m_tFrom.GetTime(), LocalSeconds(2000, 1, 1, fromHour, 0, 0));
        EXPECT_EQ(dialog.m_tTo.GetTime(), LocalSeconds(2000, 1, 1, 8, 0, 0));
    }
}

TEST_F(UserPropTest, StoredRangeShowsItsDatesUntilTheRangeIsChosenAgain) {
    CDlgUserProp dialog(&m_store);
    dialog.m_bEdit = 1;
    dialog.m_nTimeSectType = 2;
    dialog.m_tFrom = CTime(2025, 3, 1, 7, 30, 0);
    dialog.m_tTo = CTime(2025, 6, 30, 19, 45, 5);
    const auto expectShown = [](QWidget* window, const char* fromDate, const char* toDate) {
        EXPECT_EQ(ControlText(window, IDC_FROM_DATE), fromDate);
        EXPECT_EQ(ControlText(window, IDC_FROM_TIME), "7:30:00");
        EXPECT_EQ(ControlText(window, IDC_TO_DATE), toDate);
        EXPECT_EQ(ControlText(window, IDC_TO_TIME), "19:45:05");
    };
    const int result = Show(dialog, [&](QWidget* window) {
        EXPECT_TRUE(IsChecked(window, IDC_RADIO_PERIOD));
        EXPECT_TRUE(!IsOn(window, IDC_DAILY_TO) && IsOn(window, IDC_STATIC_PERIOD_TO));
        expectShown(window, "2025-3-1", "2025-6-30");
        Click(window, IDC_RADIO_FOREVER);
        EXPECT_FALSE(IsChecked(window, IDC_RADIO_PERIOD) || IsOn(window, IDC_TO_TIME));
        Click(window, IDC_RADIO_PERIOD);
        expectShown(window, "2026-12-7", "2026-12-7");  // today, by the tests' clock
        TypeInto(window, IDC_EDIT_NAME, "x");
        Click(window, IDOK);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_tFrom.GetTime(), LocalSeconds(2026, 12, 7, 7, 30, 0));
    EXPECT_EQ(dialog.m_tTo.GetTime(), LocalSeconds(2026, 12, 7, 19, 45, 5));
}

TEST_F(UserPropTest, CheckedRowsBecomeTheUsersLinksOnOkOnly) {
    struct Case {
        int button;
        bool clearFirstRow;  // by hand, after the button
        int closeWith;
        Links links;
    };
    const Case cases[] = {
        {IDC_BTN_SELECT_NONE, false, IDOK, {{1, 0}}},
        {IDC_BTN_SELECT_ALL, false, IDOK, {{1, 0}, {2, 1}, {0, 1}, {1, 1}}},
        {IDC_BTN_SELECT_ALL, true, IDOK, {{1, 0}, {0, 1}, {1, 1}}},
        {IDC_BTN_SELECT_NONE, false, IDCANCEL, {{2, 1}, {1, 0}, {1, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.links.size());
        CSaveProp store;
        Populate(store);
        CDlgUserProp dialog(&store);
        dialog.m_bEdit = 1;
        dialog.m_nUserID = 1;
        dialog.m_strName = Gbk("值班员");
        const int result = Show(dialog, [&](QWidget* window) {
            auto* list = qobject_cast<QTableWidget*>(Control(window, IDC_LIST_MEMBER_GROUPS));
            EXPECT_EQ(list->item(0, 1)->text(), QStringLiteral("运行"));
            std::vector<bool> checked;
            for (int row = 0; row < list->rowCount(); ++row) {
                checked.push_back(list->item(row, 0)->checkState() == Qt::Checked);
            }
            EXPECT_EQ(checked, (std::vector<bool>{true, false, true}));
            Click(window, c.button);
            if (c.clearFirstRow) list->item(0, 0)->setCheckState(Qt::Unchecked);
            Click(window, c.closeWith);
        });
        EXPECT_EQ(result, c.closeWith);
        EXPECT_EQ(StoredLinks(store), c.links);
    }
}

}  // namespace
