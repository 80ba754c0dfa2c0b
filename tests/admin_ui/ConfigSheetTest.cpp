// Config and the configuration sheet, driven as the administrator drives them: the credential
// dialog, the three pages, their buttons, keys and validations, and what reaches the data file.
#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "platform/MessageBox.h"
#include "platform/PropertySheet.h"
#include "resources/ResourceIds.h"
#include "support/GuiTest.h"
#include "wardlet/wardlet.h"

namespace {

using Action = ModalDriver::Action;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

QWidget* Page(QWidget* sheet, int pageID) { return Control(sheet, pageID); }

QTabWidget* Tabs(QWidget* sheet) {
    return qobject_cast<QTabWidget*>(Control(sheet, AFX_IDC_TAB_CONTROL));
}

void ChooseTab(QWidget* sheet, int index) { Tabs(sheet)->setCurrentIndex(index); }

QTableWidget* List(QWidget* page, int id) { return qobject_cast<QTableWidget*>(Control(page, id)); }

// Selects the rows, as clicks with Ctrl held would.
void SelectRows(QTableWidget* list, std::initializer_list<int> rows) {
    list->clearSelection();
    for (int row : rows) {
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

void Retype(QWidget* dialog, int id, const QString& text) {
    qobject_cast<QLineEdit*>(Control(dialog, id))->clear();
    TypeInto(dialog, id, text);
}

bool Enabled(QWidget* page, int id) { return Control(page, id)->isEnabled(); }

class ConfigSheetTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        SavePlantStore();
    }

    // Config, answering its credential dialog (the administrator's name comes preset), then
    // doing `next` in the window that follows, if any.
    void RunConfig(const char* user, const char* password, Action next = nullptr) {
        m_driver->OnNextModal([user, password](QWidget* dialog) {
            Retype(dialog, IDC_EDIT_USER, QString::fromUtf8(user));
            TypeInto(dialog, IDC_EDIT_PASSWORD, QString::fromUtf8(password));
            Click(dialog, IDOK);
        });
        if (next) m_driver->OnNextModal(std::move(next));
        Config();
        EXPECT_TRUE(m_driver->Unexpected().empty());
    }
    // Config as the administrator, doing `inSheet` in the sheet.
    void InSheet(Action inSheet) { RunConfig("Admin", "4827", std::move(inSheet)); }
    // Answers the framework's validation message that comes next, keeping its text.
    void AcknowledgeMessage() {
        m_driver->OnNextModal([this](QWidget* box) {
            m_message = MessageText(box);
            PressKey(box, Qt::Key_Return);
        });
    }
    static std::unique_ptr<CSaveProp> Stored() {
        auto store = std::make_unique<CSaveProp>();
        store->LoadFromFile();
        return store;
    }

    QString m_message;
};

}  // namespace

TEST_F(ConfigSheetTest, SheetHasThreeTabsAndOnlyOkAndCancel) {
    InSheet([](QWidget* sheet) {
        EXPECT_EQ(sheet->windowTitle(), "权限管理");
        QTabWidget* tabs = Tabs(sheet);
        ASSERT_EQ(tabs->count(), 3);
        EXPECT_EQ(tabs->tabText(0), "  组 ");
        EXPECT_EQ(tabs->tabText(1), "用 户");
        EXPECT_EQ(tabs->tabText(2), "其 它");
        EXPECT_EQ(tabs->currentIndex(), 0);
        EXPECT_NE(Control(sheet, IDOK), nullptr);
        EXPECT_EQ(Control(sheet, ID_APPLY_NOW), nullptr);
        EXPECT_EQ(Control(sheet, IDHELP), nullptr);
        // Pages are made when first shown.
        EXPECT_NE(Page(sheet, IDD_PAGE_GROUP), nullptr);
        EXPECT_EQ(Page(sheet, IDD_PAGE_OTHER), nullptr);
        EXPECT_EQ(ControlText(Page(sheet, IDD_PAGE_GROUP), IDC_STATIC_COUNT), "1");
        Click(sheet, IDCANCEL);
    });
    EXPECT_EQ(m_driver->Captions().front(), "权限验证...");
}

TEST_F(ConfigSheetTest, CancelDiscardsEveryChange) {
    const auto before = ReadDataFile();
    InSheet([this](QWidget* sheet) {
        ChooseTab(sheet, 1);
        QWidget* users = Page(sheet, IDD_PAGE_USER);
        m_driver->OnNextModal([](QWidget* dialog) {
            TypeInto(dialog, IDC_EDIT_NAME, "新人");
            Click(dialog, IDOK);
        });
        Click(users, IDC_BTN_ADD);
        EXPECT_EQ(ControlText(users, IDC_STATIC_COUNT), "4");
        ChooseTab(sheet, 2);
        QWidget* other = Page(sheet, IDD_PAGE_OTHER);
        TypeInto(other, IDC_EDIT_OLD_PWD, "4827");
        TypeInto(other, IDC_EDIT_ADMIN_NEW_PWD, "new");
        TypeInto(other, IDC_EDIT_ADMIN_CONFIRM, "new");
        Click(other, IDC_BTN_MODIFY);
        Click(sheet, IDCANCEL);
    });
    EXPECT_THAT(m_notices->Notices(), ElementsAre("密码修改成功"));
    EXPECT_EQ(ReadDataFile(), before);
}

TEST_F(ConfigSheetTest, OkWithoutTheOtherTabKeepsFlagsAndMinutes) {
    {
        auto store = Stored();
        store->m_bEditGroup = 0;
        store->m_bEditUser = 1;
        store->m_bAutoLogout = 0;
        store->m_nLogoutMinutes = 7;
        ASSERT_EQ(store->SaveToFile(), 1);
    }
    InSheet([](QWidget* sheet) { Click(sheet, IDOK); });
    InSheet([](QWidget* sheet) {
        ChooseTab(sheet, 2);
        Click(sheet, IDOK);
    });
    auto store = Stored();
    EXPECT_EQ(store->m_bEditGroup, 0);
    EXPECT_EQ(store->m_bEditUser, 1);
    EXPECT_EQ(store->m_bAutoLogout, 0);
    EXPECT_EQ(store->m_nLogoutMinutes, 7);
}

TEST_F(ConfigSheetTest, LogoutMinutesMustLieBetweenOneAnd999) {
    InSheet([this](QWidget* sheet) {
        ChooseTab(sheet, 2);
        QWidget* other = Page(sheet, IDD_PAGE_OTHER);
        for (const char* refused : {"0", "1000", ""}) {
            Retype(other, IDC_EDIT_LOGOUT_MINUTES, refused);
            AcknowledgeMessage();
            ChooseTab(sheet, 0);
            EXPECT_EQ(Tabs(sheet)->currentIndex(), 2) << refused;
            AcknowledgeMessage();
            Click(sheet, IDOK);
            EXPECT_TRUE(sheet->isVisible()) << refused;
        }
        EXPECT_EQ(m_message, "请输入一个整数。");
        Retype(other, IDC_EDIT_LOGOUT_MINUTES, "abc");  // digits only
        EXPECT_EQ(ControlText(other, IDC_EDIT_LOGOUT_MINUTES), "");
        Retype(other, IDC_EDIT_LOGOUT_MINUTES, "1");
        ChooseTab(sheet, 0);
        EXPECT_EQ(Tabs(sheet)->currentIndex(), 0);
        ChooseTab(sheet, 2);
        Retype(other, IDC_EDIT_LOGOUT_MINUTES, "999");
        Click(sheet, IDOK);
    });
    EXPECT_EQ(Stored()->m_nLogoutMinutes, 999);
}

TEST_F(ConfigSheetTest, AdministratorPairChangesOnlyThroughModify) {
    InSheet([this](QWidget* sheet) {
        ChooseTab(sheet, 2);
        QWidget* other = Page(sheet, IDD_PAGE_OTHER);
        EXPECT_EQ(ControlText(other, IDC_EDIT_ADMIN), "Admin");
        Retype(other, IDC_EDIT_ADMIN, "   ");
        Click(other, IDC_BTN_MODIFY);
        Retype(other, IDC_EDIT_ADMIN, "Chief");
        TypeInto(other, IDC_EDIT_OLD_PWD, "wrong");
        TypeInto(other, IDC_EDIT_ADMIN_NEW_PWD, "a");
        TypeInto(other, IDC_EDIT_ADMIN_CONFIRM, "b");
        Click(other, IDC_BTN_MODIFY);
        EXPECT_EQ(ControlText(other, IDC_EDIT_OLD_PWD), "");
        EXPECT_EQ(ControlText(other, IDC_EDIT_ADMIN_NEW_PWD), "a");
        TypeInto(other, IDC_EDIT_OLD_PWD, "4827");
        Click(other, IDC_BTN_MODIFY);
        EXPECT_EQ(ControlText(other, IDC_EDIT_OLD_PWD), "4827");  // a mismatch clears nothing
        Retype(other, IDC_EDIT_ADMIN_NEW_PWD, "");
        Retype(other, IDC_EDIT_ADMIN_CONFIRM, "");
        // A refused waiting time is reported, and the administrator change still goes ahead.
        Retype(other, IDC_EDIT_LOGOUT_MINUTES, "0");
        AcknowledgeMessage();
        Click(other, IDC_BTN_MODIFY);
        EXPECT_EQ(ControlText(other, IDC_EDIT_OLD_PWD), "");
        Retype(other, IDC_EDIT_LOGOUT_MINUTES, "5");
        Click(sheet, IDOK);
    });
    EXPECT_THAT(m_notices->Notices(),
                UnorderedElementsAre("管理员名字不能为空或空格!", "旧密码不正确，请重新输入!",
                                     "新密码和确认不相等，请重新输入!", "密码修改成功"));
    EXPECT_EQ(IsUserExist("Chief", ""), 1);
    EXPECT_EQ(IsUserExist("Admin", "4827"), 0);
}

TEST_F(ConfigSheetTest, DeleteKeyRemovesSelectedUsersAndNumbersAreReused) {
    InSheet([this](QWidget* sheet) {
        ChooseTab(sheet, 1);
        QWidget* users = Page(sheet, IDD_PAGE_USER);
        QTableWidget* list = List(users, IDC_LIST_USER);
        EXPECT_EQ(list->item(0, 3)->text(), "***");  // op1
        SelectRows(list, {0, 1});
        EXPECT_TRUE(Enabled(users, IDC_BTN_EDIT_USER));
        QTest::keyClick(list, Qt::Key_Delete);
        EXPECT_EQ(ControlText(users, IDC_STATIC_COUNT), "1");
        m_driver->OnNextModal([](QWidget* dialog) {
            TypeInto(dialog, IDC_EDIT_NAME, "new");
            Click(dialog, IDOK);
        });
        Click(users, IDC_BTN_ADD);
        EXPECT_EQ(list->item(1, 0)->text(), "0");
        EXPECT_EQ(list->item(1, 3)->text(), "");  // no password
        Click(sheet, IDOK);
    });
    auto store = Stored();
    EXPECT_EQ(store->m_dataManager.m_userList.GetCount(), 2);
    EXPECT_EQ(store->m_dataManager.m_groupUserList.GetCount(), 1);  // only old's membership
    EXPECT_EQ(Islegal("op", "op1", 0x01010000), 0);
}

TEST_F(ConfigSheetTest, EditFlagsGateTheButtons) {
    {
        auto store = Stored();
        store->m_bEditGroup = 0;
        ASSERT_EQ(store->SaveToFile(), 1);
    }
    InSheet([](QWidget* sheet) {
        QWidget* groups = Page(sheet, IDD_PAGE_GROUP);
        EXPECT_FALSE(Enabled(groups, IDC_BTN_ADD));
        QTableWidget* list = List(groups, IDC_LIST_GROUP);
        SelectRows(list, {0});
        EXPECT_FALSE(Enabled(groups, IDC_BTN_EDIT_GROUP));
        EXPECT_FALSE(Enabled(groups, IDC_BTN_DELETE));
        QTest::keyClick(list, Qt::Key_Delete);
        EXPECT_EQ(list->rowCount(), 1);
        ChooseTab(sheet, 1);
        QWidget* users = Page(sheet, IDD_PAGE_USER);
        EXPECT_TRUE(Enabled(users, IDC_BTN_ADD));
        EXPECT_FALSE(Enabled(users, IDC_BTN_DELETE));
        SelectRows(List(users, IDC_LIST_USER), {2});
        EXPECT_TRUE(Enabled(users, IDC_BTN_DELETE));
        Click(sheet, IDCANCEL);
    });
}

TEST_F(ConfigSheetTest, GroupsAreDeletedWithTheirLinksAndNumbersReused) {
    {
        auto store = Stored();
        AddGroup(*store, 1, "Second");
        AddGroup(*store, 2, "Third");
        Grant(*store, 2, 0x01020000);
        ASSERT_EQ(store->SaveToFile(), 1);
    }
    InSheet([this](QWidget* sheet) {
        QWidget* groups = Page(sheet, IDD_PAGE_GROUP);
        QTableWidget* list = List(groups, IDC_LIST_GROUP);
        SelectRows(list, {0, 2});
        QTest::keyClick(list, Qt::Key_Delete);
        EXPECT_EQ(ControlText(groups, IDC_STATIC_COUNT), "1");
        m_driver->OnNextModal([](QWidget* dialog) {
            TypeInto(dialog, IDC_EDIT_NAME, "Fresh");
            Click(dialog, IDOK);
        });
        Click(groups, IDC_BTN_ADD);
        EXPECT_EQ(list->item(1, 0)->text(), "0");
        EXPECT_EQ(list->item(1, 1)->text(), "Fresh");
        Click(sheet, IDOK);
    });
    auto store = Stored();
    EXPECT_EQ(store->m_dataManager.m_groupList.GetCount(), 2);
    EXPECT_EQ(store->m_dataManager.m_groupUserList.GetCount(), 0);
    EXPECT_EQ(store->m_dataManager.m_groupOperList.GetCount(), 0);
}

TEST_F(ConfigSheetTest, OrdinaryUsersChangeTheirOwnPassword) {
    RunConfig("op", "op1", [](QWidget* dialog) {
        TypeInto(dialog, IDC_EDIT_NEW_PWD, "fresh");
        TypeInto(dialog, IDC_EDIT_CONFIRM, "fresh");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(IsUserExist("op", "fresh"), 1);
    RunConfig("old", "o1");     // expired: no dialog
    RunConfig("op", "op1");     // the old pair no longer exists
    CancelNextDialog();
    Config();
    EXPECT_THAT(m_notices->Notices(), UnorderedElementsAre("用户密码修改成功!", "用户帐户已过期!",
                                                           "用户不存在或密码错误!"));
    EXPECT_EQ(m_driver->ShownCount(), 5);  // four credential dialogs, one password dialog
}

TEST_F(ConfigSheetTest, PasswordChangeReachesTheAccountThatMatchedBothNameAndPassword) {
    {
        auto store = Stored();
        AddUser(*store, 3, "dup", "first");
        AddUser(*store, 4, "dup", "second");
        ASSERT_EQ(store->SaveToFile(), 1);
    }
    RunConfig("dup", "second", [](QWidget* dialog) {
        TypeInto(dialog, IDC_EDIT_NEW_PWD, "fresh");
        TypeInto(dialog, IDC_EDIT_CONFIRM, "fresh");
        Click(dialog, IDOK);
    });
    EXPECT_EQ(IsUserExist("dup", "first"), 1);
    EXPECT_EQ(IsUserExist("dup", "fresh"), 1);
    EXPECT_EQ(IsUserExist("dup", "second"), 0);
}

namespace {

// The command-line host run by the shell, its standard input given; its exit status.
int RunCli(const std::string& arguments, const std::string& input) {
    const std::string command =
        "printf '" + input + "' | " WARDLET_CLI_PATH " " + arguments + " >/dev/null 2>&1";
    return WEXITSTATUS(std::system(command.c_str()));
}

}  // namespace

// The same change through the sheet and through `wardlet user add`: the same bytes.
TEST_F(ConfigSheetTest, CommandLineChangeIsTheSheetsChangeByteForByte) {
    const std::string cliData = Dir() + "/cli.dat";
    {
        std::vector<unsigned char> bytes = ReadDataFile();
        std::ofstream(cliData, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    InSheet([this](QWidget* sheet) {
        ChooseTab(sheet, 1);
        QWidget* users = Page(sheet, IDD_PAGE_USER);
        m_driver->OnNextModal([](QWidget* dialog) {
            TypeInto(dialog, IDC_EDIT_NAME, QStringLiteral("  新人 "));
            TypeInto(dialog, IDC_EDIT_USER_PWD, "pw-1");
            TypeInto(dialog, IDC_EDIT_USER_CONFIRM, "pw-1");
            List(dialog, IDC_LIST_MEMBER_GROUPS)->item(0, 0)->setCheckState(Qt::Checked);
            Click(dialog, IDOK);
        });
        Click(users, IDC_BTN_ADD);
        Click(sheet, IDOK);
    });
    ASSERT_EQ(RunCli("--data " + cliData + " user add 新人 --group Operators", "4827\\npw-1\\n"), 0);
    std::ifstream in(cliData, std::ios::binary);
    std::vector<unsigned char> cliBytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    EXPECT_EQ(Hex(cliBytes), Hex(ReadDataFile()));
}
