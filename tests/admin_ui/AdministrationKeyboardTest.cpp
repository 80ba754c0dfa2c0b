// Every administration window driven from the keyboard alone, from the credential dialog to the
// data file: Tab reaches every control, the arrows, Space, Delete and mnemonics make changes,
// Enter confirms and Escape cancels. Keys go where the operator's keys go (support/Keyboard.h),
// so each run fails when the platform gives a key to the wrong control.
#include <gmock/gmock.h>

#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <memory>
#include <utility>
#include <vector>

#include "platform/MessageBox.h"
#include "platform/PropertySheet.h"
#include "resources/ResourceIds.h"
#include "support/GuiTest.h"
#include "support/Keyboard.h"
#include "wardlet/platform/MessagePump.h"
#include "wardlet/wardlet.h"

namespace {

using Action = ModalDriver::Action;
using Names = std::vector<QString>;
using ::testing::ElementsAre;
using ::testing::Pair;

QString Id(int id) { return QString::number(id); }

QTabWidget* Tabs(QWidget* sheet) {
    return qobject_cast<QTabWidget*>(Control(sheet, AFX_IDC_TAB_CONTROL));
}

std::vector<bool> Checks(QWidget* window, int listID) {
    std::vector<bool> checked;
    auto* list = qobject_cast<QTableWidget*>(Control(window, listID));
    for (int row = 0; row < list->rowCount(); ++row) {
        checked.push_back(list->item(row, 0)->checkState() == Qt::Checked);
    }
    return checked;
}

// The group-user links: group, user; in list order.
std::vector<std::pair<int32_t, int32_t>> Links(const CSaveProp& store) {
    std::vector<std::pair<int32_t, int32_t>> links;
    const CObList& list = store.m_dataManager.m_groupUserList;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        const auto* link = static_cast<const CInfoGroupUser*>(list.GetNext(pos));
        links.emplace_back(link->m_nGroupID, link->m_nUserID);
    }
    return links;
}

// Tab until `id` has the focus; false when a whole round did not reach it.
bool TabTo(int id) {
    for (int i = 0; i < 16 && FocusName() != Id(id); ++i) Key(Qt::Key_Tab);
    return FocusName() == Id(id);
}

// The plant store (users op, night, old in group Operators) and a second group with no members,
// so that both lists of the sheet have several rows.
class AdministrationKeyboardTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        SavePlantStore();
        auto store = Stored();
        AddGroup(*store, 1, "Visitors");
        ASSERT_EQ(store->SaveToFile(), 1);
        m_before = ReadDataFile();
    }

    static std::unique_ptr<CSaveProp> Stored() {
        auto store = std::make_unique<CSaveProp>();
        store->LoadFromFile();
        return store;
    }

    // The credential dialog of Config, answered from the keyboard: the name preset is replaced
    // by `user` when given.
    void AnswerLogin(const char* user, const char* password) {
        m_driver->OnNextModal([user, password](QWidget*) {
            EXPECT_EQ(FocusName(), Id(IDC_EDIT_USER));
            EXPECT_EQ(TabWalk(4),
                      (Names{Id(IDC_EDIT_PASSWORD), Id(IDOK), Id(IDCANCEL), Id(IDC_EDIT_USER)}));
            if (user != nullptr) {
                Key(Qt::Key_A, Qt::ControlModifier);
                Type(QString::fromUtf8(user));
            }
            Key(Qt::Key_Tab);
            Type(QString::fromUtf8(password));
            Key(Qt::Key_Return);
        });
    }

    // Config as the administrator, doing `inSheet` in the sheet.
    void InSheet(Action inSheet) {
        AnswerLogin(nullptr, "4827");
        m_driver->OnNextModal(std::move(inSheet));
        Config();
        EXPECT_TRUE(m_driver->Unexpected().empty());
    }

    // The framework's validation message comes next: checks the sheet still shows tab `tab`
    // behind it, then closes it with `key`.
    void ExpectRefusal(QWidget* sheet, int tab, int key) {
        m_driver->OnNextModal([this, sheet, tab, key](QWidget* box) {
            m_message = MessageText(box);
            EXPECT_EQ(Tabs(sheet)->currentIndex(), tab);
            EXPECT_EQ(Tabs(sheet)->tabBar()->currentIndex(), tab);
            Key(key);
        });
    }

    // From the list of the page shown: select the row above the last, Tab to Edit, Enter opens
    // the dialog that `inDialog` drives.
    void EditRowAboveTheLast(Action inDialog) {
        m_driver->OnNextModal(std::move(inDialog));
        Key(Qt::Key_End);
        Key(Qt::Key_Up);
        Key(Qt::Key_Tab);
        Key(Qt::Key_Tab);
        Key(Qt::Key_Return);
    }

    std::vector<unsigned char> m_before;
    QString m_message;
};

}  // namespace

TEST_F(AdministrationKeyboardTest, SheetPagesListsAndValidationFromTheKeyboard) {
    InSheet([this](QWidget* sheet) {
        QTabWidget* tabs = Tabs(sheet);
        // Groups: the list has the focus; with a row selected Tab reaches every button.
        EXPECT_EQ(FocusName(), Id(IDC_LIST_GROUP));
        Key(Qt::Key_End);
        EXPECT_EQ(TabWalk(7), (Names{Id(IDC_BTN_ADD), Id(IDC_BTN_EDIT_GROUP), Id(IDC_BTN_DELETE),
                                     Id(IDOK), Id(IDCANCEL), "tabs", Id(IDC_LIST_GROUP)}));
        EXPECT_EQ(TabWalk(2, true), (Names{"tabs", Id(IDCANCEL)}));
        Key(Qt::Key_Tab);
        // Users, from the tab bar's arrows: the last user goes with the Delete key.
        Key(Qt::Key_Right);
        EXPECT_EQ(tabs->currentIndex(), 1);
        Key(Qt::Key_Tab);
        EXPECT_EQ(FocusName(), Id(IDC_LIST_USER));
        Key(Qt::Key_End);
        Key(Qt::Key_Delete);
        EXPECT_EQ(ControlText(Control(sheet, IDD_PAGE_USER), IDC_STATIC_COUNT), "2");
        // Other: Ctrl+PgDn from the list; its first visible control takes the focus.
        Key(Qt::Key_PageDown, Qt::ControlModifier);
        EXPECT_EQ(tabs->currentIndex(), 2);
        EXPECT_EQ(FocusName(), Id(IDC_EDIT_ADMIN));
        EXPECT_EQ(TabWalk(5), (Names{Id(IDC_EDIT_OLD_PWD), Id(IDC_EDIT_ADMIN_NEW_PWD),
                                     Id(IDC_EDIT_ADMIN_CONFIRM), Id(IDC_BTN_MODIFY),
                                     Id(IDC_EDIT_LOGOUT_MINUTES)}));
        // A refused waiting time keeps the page, by Ctrl+Tab or by a click on a tab; the sheet
        // never shows the chosen tab behind the message.
        Type("0");
        ExpectRefusal(sheet, 2, Qt::Key_Return);
        Key(Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(tabs->currentIndex(), 2);
        EXPECT_EQ(FocusName(), Id(IDC_EDIT_LOGOUT_MINUTES));
        ExpectRefusal(sheet, 2, Qt::Key_Escape);
        QTabBar* bar = tabs->tabBar();
        MouseClick(bar, bar->tabRect(0).center());
        EXPECT_EQ(tabs->currentIndex(), 2);
        EXPECT_EQ(m_message, "请输入一个介于 1 和 999 之间的整数。");
        Key(Qt::Key_A, Qt::ControlModifier);
        Type("12");
        // Back by Ctrl+Shift+Tab (as X11 sends it) and Ctrl+PgUp, then Enter from the list is OK.
        Key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(tabs->currentIndex(), 1);
        EXPECT_EQ(FocusName(), Id(IDC_LIST_USER));
        Key(Qt::Key_PageUp, Qt::ControlModifier);
        EXPECT_EQ(tabs->currentIndex(), 0);
        EXPECT_EQ(FocusName(), Id(IDC_LIST_GROUP));
        Key(Qt::Key_Return);
        EXPECT_FALSE(sheet->isVisible());
    });
    auto store = Stored();
    EXPECT_EQ(store->m_nLogoutMinutes, 12);
    EXPECT_EQ(store->m_dataManager.m_userList.GetCount(), 2);
    EXPECT_EQ(store->m_dataManager.FindUserByName("old"), nullptr);
}

TEST_F(AdministrationKeyboardTest, EscapeLeavesTheSheetUnsaved) {
    InSheet([](QWidget* sheet) {
        Key(Qt::Key_Tab, Qt::ControlModifier);
        Key(Qt::Key_End);
        Key(Qt::Key_Delete);
        EXPECT_EQ(ControlText(Control(sheet, IDD_PAGE_USER), IDC_STATIC_COUNT), "2");
        // Ctrl+Shift+Tab as some keyboards send it: from the first page round to the last.
        Key(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        Key(Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(Tabs(sheet)->currentIndex(), 2);
        EXPECT_EQ(FocusName(), Id(IDC_EDIT_ADMIN));
        Key(Qt::Key_Escape);
        EXPECT_FALSE(sheet->isVisible());
    });
    EXPECT_EQ(ReadDataFile(), m_before);
}

TEST_F(AdministrationKeyboardTest, UserDialogFromTheKeyboard) {
    InSheet([this](QWidget* sheet) {
        Key(Qt::Key_Tab, Qt::ControlModifier);
        // The user above the last is night; Enter on the focused Edit button opens its dialog.
        EditRowAboveTheLast([](QWidget* dialog) {
            EXPECT_EQ(FocusName(), Id(IDC_EDIT_NAME));
            // night has a daily window: its two pickers are tab stops, the range's are not.
            EXPECT_EQ(TabWalk(14),
                      (Names{Id(IDC_EDIT_USER_PWD), Id(IDC_EDIT_USER_CONFIRM), Id(IDC_EDIT_REMARK),
                             Id(IDC_LIST_MEMBER_GROUPS), Id(IDC_BTN_SELECT_ALL),
                             Id(IDC_BTN_SELECT_NONE), Id(IDOK), Id(IDCANCEL), Id(IDC_RADIO_FOREVER),
                             Id(IDC_RADIO_DAILY), Id(IDC_RADIO_PERIOD), Id(IDC_DAILY_FROM),
                             Id(IDC_DAILY_TO), Id(IDC_EDIT_NAME)}));
            // The remark: Ctrl+Enter starts a line.
            TabWalk(3);
            Type("夜班");
            Key(Qt::Key_Return, Qt::ControlModifier);
            Type("二组");
            // Groups: Space on the second row, then the mnemonics of 全不选 and 全选.
            Key(Qt::Key_Tab);
            Key(Qt::Key_Down);
            Key(Qt::Key_Space);
            EXPECT_THAT(Checks(dialog, IDC_LIST_MEMBER_GROUPS), ElementsAre(true, true));
            Key(Qt::Key_N, Qt::AltModifier);
            EXPECT_THAT(Checks(dialog, IDC_LIST_MEMBER_GROUPS), ElementsAre(false, false));
            Key(Qt::Key_A, Qt::AltModifier);
            Key(Qt::Key_Up);
            Key(Qt::Key_Space);
            EXPECT_THAT(Checks(dialog, IDC_LIST_MEMBER_GROUPS), ElementsAre(false, true));
            // The daily window 00:00-06:00 ends an hour later: Tab selects the picker's hours.
            ASSERT_TRUE(TabTo(IDC_DAILY_TO));
            Key(Qt::Key_Up);
            // Enter in the remark presses 确认(&O): it is not a want-return edit.
            ASSERT_TRUE(TabTo(IDC_EDIT_REMARK));
            Key(Qt::Key_Return);
            EXPECT_FALSE(dialog->isVisible());
        });
        EXPECT_EQ(Tabs(sheet)->currentIndex(), 1);
        ASSERT_TRUE(TabTo(IDC_LIST_USER));
        Key(Qt::Key_Return);
    });
    auto store = Stored();
    const CInfoUser* night = store->m_dataManager.FindUserByName("night");
    ASSERT_NE(night, nullptr);
    EXPECT_EQ(night->m_strRemark, Gbk("夜班\r\n二组"));
    EXPECT_EQ(night->m_nTimeSectType, 1);
    EXPECT_EQ(night->m_tFrom, LocalSeconds(2000, 1, 1, 0, 0, 0));
    EXPECT_EQ(night->m_tTo, LocalSeconds(2000, 1, 1, 7, 0, 0));
    EXPECT_THAT(Links(*store), ElementsAre(Pair(0, 0), Pair(0, 2), Pair(1, 1)));
}

TEST_F(AdministrationKeyboardTest, GroupDialogFromTheKeyboard) {
    InSheet([this](QWidget* sheet) {
        // Operators.
        EditRowAboveTheLast([](QWidget* dialog) {
            // The rights tree fills itself a moment after opening: its timer posts a message.
            AdvanceTimerClock(100);
            PumpMessages();
            auto* tree = qobject_cast<QTreeWidget*>(Control(dialog, IDC_TREE_OPER));
            ASSERT_GT(tree->topLevelItemCount(), 0);
            EXPECT_EQ(FocusName(), Id(IDC_EDIT_NAME));
            // The users list has rows, and Tab still leaves it for the buttons and the tree.
            EXPECT_EQ(TabWalk(8),
                      (Names{Id(IDC_EDIT_DESC), Id(IDC_LIST_MEMBER_USERS), Id(IDC_BTN_SELECT_ALL),
                             Id(IDC_BTN_SELECT_NONE), Id(IDC_TREE_OPER), Id(IDOK), Id(IDCANCEL),
                             Id(IDC_EDIT_NAME)}));
            // The description keeps Enter as a new line.
            Key(Qt::Key_Tab);
            Type("一");
            Key(Qt::Key_Return);
            Type("二");
            EXPECT_TRUE(dialog->isVisible());
            // Users: 全不选(&L) and 全选(&S) by mnemonic, then Space unchecks the second.
            Key(Qt::Key_Tab);
            Key(Qt::Key_L, Qt::AltModifier);
            EXPECT_THAT(Checks(dialog, IDC_LIST_MEMBER_USERS), ElementsAre(false, false, false));
            Key(Qt::Key_S, Qt::AltModifier);
            Key(Qt::Key_Down);
            Key(Qt::Key_Space);
            EXPECT_THAT(Checks(dialog, IDC_LIST_MEMBER_USERS), ElementsAre(true, false, true));
            // The tree: Space toggles 设备 alone, never its children; then checks its first child.
            ASSERT_TRUE(TabTo(IDC_TREE_OPER));
            Key(Qt::Key_End);
            Key(Qt::Key_Home);
            Key(Qt::Key_Down);
            QTreeWidgetItem* devices = tree->currentItem();
            ASSERT_NE(devices, nullptr);
            ASSERT_GE(devices->childCount(), 2);
            EXPECT_EQ(devices->text(0), "设备");
            Key(Qt::Key_Space);
            EXPECT_EQ(devices->checkState(0), Qt::Unchecked);
            Key(Qt::Key_Space);
            EXPECT_EQ(devices->checkState(0), Qt::Checked);
            EXPECT_EQ(devices->child(1)->checkState(0), Qt::Unchecked);
            Key(Qt::Key_Space);
            Key(Qt::Key_Down);
            Key(Qt::Key_Space);
            EXPECT_EQ(devices->checkState(0), Qt::Unchecked);
            EXPECT_EQ(devices->child(0)->checkState(0), Qt::Checked);
            EXPECT_EQ(devices->child(1)->checkState(0), Qt::Unchecked);
            // Enter from the tree confirms.
            Key(Qt::Key_Return);
            EXPECT_FALSE(dialog->isVisible());
        });
        ASSERT_TRUE(TabTo(IDC_LIST_GROUP));
        Key(Qt::Key_Return);
        EXPECT_FALSE(sheet->isVisible());
    });
    auto store = Stored();
    const auto* operators =
        static_cast<const CInfoGroup*>(store->m_dataManager.m_groupList.GetHead());
    EXPECT_EQ(operators->m_strDesc, Gbk("一\r\n二"));
    EXPECT_EQ(Islegal("op", "op1", 0x01010100), 1);
    EXPECT_EQ(Islegal("op", "op1", 0x01010200), 0);
    EXPECT_THAT(Links(*store), ElementsAre(Pair(0, 0), Pair(0, 2)));
    EXPECT_EQ(store->m_dataManager.m_groupOperList.GetCount(), 1);
}

TEST_F(AdministrationKeyboardTest, EscapeClosesEachDialogWithNothingChanged) {
    InSheet([this](QWidget*) {
        EditRowAboveTheLast([](QWidget* dialog) {
            Type("x");
            Key(Qt::Key_Escape);
            EXPECT_FALSE(dialog->isVisible());
        });
        Key(Qt::Key_Tab, Qt::ControlModifier);
        ASSERT_TRUE(TabTo(IDC_LIST_USER));
        EditRowAboveTheLast([](QWidget* dialog) {
            Key(Qt::Key_N, Qt::AltModifier);
            Key(Qt::Key_Escape);
            EXPECT_FALSE(dialog->isVisible());
        });
        // Enter on the focused Cancel button cancels.
        ASSERT_TRUE(TabTo(IDCANCEL));
        Key(Qt::Key_Return);
    });
    EXPECT_EQ(ReadDataFile(), m_before);
}

TEST_F(AdministrationKeyboardTest, OrdinaryUserChangesThePasswordFromTheKeyboard) {
    AnswerLogin("op", "op1");
    m_driver->OnNextModal([](QWidget*) {
        // Its template puts the buttons first.
        EXPECT_EQ(FocusName(), Id(IDOK));
        EXPECT_EQ(TabWalk(4),
                  (Names{Id(IDCANCEL), Id(IDC_EDIT_NEW_PWD), Id(IDC_EDIT_CONFIRM), Id(IDOK)}));
        TabWalk(2);
        Type("fresh");
        Key(Qt::Key_Tab);
        Type("fresh");
        Key(Qt::Key_Return);
    });
    Config();
    EXPECT_EQ(IsUserExist("op", "fresh"), 1);
    // Escape in either dialog changes nothing.
    const auto saved = ReadDataFile();
    AnswerLogin("op", "fresh");
    m_driver->OnNextModal([](QWidget*) {
        TabWalk(2);
        Type("other");
        Key(Qt::Key_Escape);
    });
    Config();
    m_driver->OnNextModal([](QWidget*) { Key(Qt::Key_Escape); });
    Config();
    EXPECT_EQ(ReadDataFile(), saved);
    EXPECT_TRUE(m_driver->Unexpected().empty());
}
