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
    void SetUp() override {
        GuiTest::SetUp();
        Populate(m_store);
    }

    // Users 0 "op" and 1 "值班员"; groups listed out of number order (rows follow the list); user 1
    // belongs to groups 2 and 1, user 0 to group 1.
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

    CSaveProp m_store;
};

DateTimePickerWidget* Picker(QWidget* window, int id) {
    return dynamic_cast<DateTimePickerWidget*>(Control(window, id));
}

QTableWidget* GroupList(QWidget* window) {
    return qobject_cast<QTableWidget*>(Control(window, IDC_LIST_MEMBER_GROUPS));
}

std::vector<bool> CheckedRows(QWidget* window) {
    std::vector<bool> checked;
    QTableWidget* list = GroupList(window);
    for (int row = 0; row < list->rowCount(); ++row) {
        checked.push_back(list->item(row, 0)->checkState() == Qt::Checked);
    }
    return checked;
}

bool IsEnabled(QWidget* window, int id) { return Control(window, id)->isEnabled(); }

// Types the texts and presses OK; a refused dialog is cancelled after the field is read back.
struct TextCase {
    int32_t edit;
    int32_t userID;
    QString name;
    QString password;
    QString confirm;
    const char* notice;  // null: accepted
    QString shownName;   // the name field after OK
};

TEST_F(UserPropTest, OkChecksNameAndPassword) {
    const TextCase cases[] = {
        {0, 2, QStringLiteral("  新人 "), "pw", "pw", nullptr, QStringLiteral("新人")},
        {0, 2, "   ", "", "", "用户名字不能为空或空格!", ""},
        {0, 2, "op", "", "", "该用户名已存在!", "op"},
        {1, 0, "op", "", "", nullptr, "op"},             // keeps its own name
        {1, 1, " op", "", "", "该用户名已存在!", "op"},  // takes another's
        {1, 1, QStringLiteral("值班员"), "", "", nullptr, QStringLiteral("值班员")},
        {0, 2, "Op", "a1", "a2", "密码和确认密码不相等，请重新输入!", "Op"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        CDlgUserProp dialog(&m_store);
        dialog.m_bEdit = c.edit;
        dialog.m_nUserID = c.userID;
        bool stayedOpen = false;
        const int result = Show(dialog, [&](QWidget* window) {
            EXPECT_EQ(window->windowTitle(), QStringLiteral("用户属性"));
            TypeInto(window, IDC_EDIT_NAME, c.name);
            TypeInto(window, IDC_EDIT_USER_PWD, c.password);
            TypeInto(window, IDC_EDIT_USER_CONFIRM, c.confirm);
            Click(window, IDOK);
            EXPECT_EQ(ControlText(window, IDC_EDIT_NAME), c.shownName);
            stayedOpen = window->isVisible();
            if (stayedOpen) Click(window, IDCANCEL);
        });
        EXPECT_EQ(stayedOpen, c.notice != nullptr);
        EXPECT_EQ(result, c.notice ? IDCANCEL : IDOK);
        if (c.notice != nullptr) {
            EXPECT_EQ(m_notices->Notices().back(), c.notice);
        } else {
            EXPECT_EQ(dialog.m_strName, Gbk(c.shownName.toStdString().c_str()));
            EXPECT_EQ(dialog.m_strPassword, CString(c.password.toStdString().c_str()));
        }
    }
}

TEST_F(UserPropTest, DailyWindowMayNotPassMidnight) {
    struct Case {
        QTime from;
        QTime to;
        const char* notice;
    };
    const Case cases[] = {
        {QTime(8, 0, 0), QTime(8, 0, 0), nullptr},
        {QTime(18, 0, 0), QTime(8, 0, 0), "时间段起始时间大于结束时间!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from.toString().toStdString());
        CDlgUserProp dialog(&m_store);
        dialog.m_nUserID = 2;
        bool stayedOpen = false;
        const int result = Show(dialog, [&](QWidget* window) {
            EXPECT_FALSE(IsEnabled(window, IDC_DAILY_FROM));
            TypeInto(window, IDC_EDIT_NAME, "night");
            Click(window, IDC_RADIO_DAILY);
            EXPECT_FALSE(Control(window, IDC_RADIO_FOREVER)->property("checked").toBool());
            EXPECT_TRUE(IsEnabled(window, IDC_DAILY_FROM));
            EXPECT_TRUE(IsEnabled(window, IDC_STATIC_DAILY_TO));
            EXPECT_FALSE(IsEnabled(window, IDC_FROM_DATE));
            EXPECT_EQ(ControlText(window, IDC_EDIT_NAME), "night");  // typed text survives
            Picker(window, IDC_DAILY_FROM)->setTime(c.from);
            Picker(window, IDC_DAILY_TO)->setTime(c.to);
            Click(window, IDOK);
            stayedOpen = window->isVisible();
            if (stayedOpen) Click(window, IDCANCEL);
        });
        EXPECT_EQ(result, c.notice ? IDCANCEL : IDOK);
        EXPECT_EQ(stayedOpen, c.notice != nullptr);
        EXPECT_EQ(dialog.m_nTimeSectType, 1);
        EXPECT_EQ(dialog.m_tFrom.GetTime(), LocalSeconds(2000, 1, 1, c.from.hour(), 0, 0));
        EXPECT_EQ(dialog.m_tTo.GetTime(), LocalSeconds(2000, 1, 1, c.to.hour(), 0, 0));
        if (c.notice != nullptr) {
            EXPECT_EQ(m_notices->Notices().back(), c.notice);
        }
    }
}

TEST_F(UserPropTest, StoredRangeShowsItsDatesUntilTheRangeIsChosenAgain) {
    CDlgUserProp dialog(&m_store);
    dialog.m_bEdit = 1;
    dialog.m_nTimeSectType = 2;
    dialog.m_tFrom = CTime(2025, 3, 1, 7, 30, 0);
    dialog.m_tTo = CTime(2025, 6, 30, 19, 45, 5);
    const int result = Show(dialog, [](QWidget* window) {
        EXPECT_TRUE(Control(window, IDC_RADIO_PERIOD)->property("checked").toBool());
        EXPECT_FALSE(IsEnabled(window, IDC_DAILY_TO));
        EXPECT_TRUE(IsEnabled(window, IDC_STATIC_PERIOD_TO));
        EXPECT_EQ(ControlText(window, IDC_FROM_DATE), "2025-3-1");
        EXPECT_EQ(ControlText(window, IDC_FROM_TIME), "7:30:00");
        EXPECT_EQ(ControlText(window, IDC_TO_DATE), "2025-6-30");
        EXPECT_EQ(ControlText(window, IDC_TO_TIME), "19:45:05");
        Click(window, IDC_RADIO_PERIOD);  // today is 2026-12-07 by the tests' clock
        EXPECT_EQ(ControlText(window, IDC_FROM_DATE), "2026-12-7");
        EXPECT_EQ(ControlText(window, IDC_FROM_TIME), "7:30:00");
        EXPECT_EQ(ControlText(window, IDC_TO_DATE), "2026-12-7");
        EXPECT_EQ(ControlText(window, IDC_TO_TIME), "19:45:05");
        Click(window, IDC_RADIO_FOREVER);
        EXPECT_FALSE(Control(window, IDC_RADIO_PERIOD)->property("checked").toBool());
        EXPECT_FALSE(IsEnabled(window, IDC_TO_TIME));
        Click(window, IDC_RADIO_PERIOD);
        TypeInto(window, IDC_EDIT_NAME, "x");
        Click(window, IDOK);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(dialog.m_nTimeSectType, 2);
    EXPECT_EQ(dialog.m_tFrom.GetTime(), LocalSeconds(2026, 12, 7, 7, 30, 0));
    EXPECT_EQ(dialog.m_tTo.GetTime(), LocalSeconds(2026, 12, 7, 19, 45, 5));
}

TEST_F(UserPropTest, CheckedRowsBecomeTheUsersLinks) {
    struct Case {
        int button;
        std::vector<bool> uncheck;  // rows the operator then clears by hand
        Links links;
    };
    const Case cases[] = {
        {IDC_BTN_SELECT_NONE, {}, {{1, 0}}},
        {IDC_BTN_SELECT_ALL, {}, {{1, 0}, {2, 1}, {0, 1}, {1, 1}}},
        {IDC_BTN_SELECT_ALL, {true, false, false}, {{1, 0}, {0, 1}, {1, 1}}},
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
            EXPECT_EQ(CheckedRows(window), (std::vector<bool>{true, false, true}));
            EXPECT_EQ(GroupList(window)->item(0, 1)->text(), QStringLiteral("运行"));
            Click(window, c.button);
            for (int row = 0; row < static_cast<int>(c.uncheck.size()); ++row) {
                if (c.uncheck[row]) GroupList(window)->item(row, 0)->setCheckState(Qt::Unchecked);
            }
            Click(window, IDOK);
        });
        ASSERT_EQ(result, IDOK);
        EXPECT_EQ(StoredLinks(store), c.links);
    }
}

TEST_F(UserPropTest, CancelChangesNothing) {
    const Links before = StoredLinks(m_store);
    CDlgUserProp dialog(&m_store);
    dialog.m_bEdit = 1;
    dialog.m_nUserID = 1;
    dialog.m_strName = Gbk("值班员");
    const int result = Show(dialog, [](QWidget* window) {
        TypeInto(window, IDC_EDIT_NAME, "zz");
        Click(window, IDC_BTN_SELECT_NONE);
        Click(window, IDC_RADIO_DAILY);
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(StoredLinks(m_store), before);
}

}  // namespace
