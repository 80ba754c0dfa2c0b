// The group property dialog, driven as an operator drives it: name, member users and the rights
// tree, which fills itself a moment after the dialog opens.
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidgetItemIterator>
#include <utility>
#include <vector>

#include "admin_ui/DlgGroupProp.h"
#include "module/WardletApp.h"
#include "resources/ResourceIds.h"
#include "support/GuiTest.h"
#include "wardlet/platform/MessagePump.h"

namespace {

using Codes = std::vector<uint32_t>;

const Codes kDeviceCodes = {0x01010000, 0x01010100, 0x01010200, 0x01010201, 0x01010202,
                            0x01010203, 0x01010300, 0x01010301, 0x01010302};

class GroupPropTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        Populate(m_store);
    }

    // Users in rows 0..2: 4 "op", 1 "值班员", 2 "night". Group 0 "运行": user 1, 0x01010200.
    // Group 1 "维护": users 2 and 4, 0x01040000.
    static void Populate(CSaveProp& store) {
        AddUser(store, 4, "op", "op1");
        AddUser(store, 1, Gbk("值班员"), "d1");
        AddUser(store, 2, "night", "n1");
        AddGroup(store, 0, Gbk("运行"));
        AddGroup(store, 1, Gbk("维护"));
        AddMember(store, 0, 1);
        AddMember(store, 1, 2);
        AddMember(store, 1, 4);
        Grant(store, 0, 0x01010200);
        Grant(store, 1, 0x01040000);
    }

    static std::vector<int32_t> Members(const CSaveProp& store, int32_t groupID) {
        std::vector<int32_t> users;
        const CObList& links = store.m_dataManager.m_groupUserList;
        for (POSITION pos = links.GetHeadPosition(); pos != nullptr;) {
            const auto* link = static_cast<const CInfoGroupUser*>(links.GetNext(pos));
            if (link->m_nGroupID == groupID) users.push_back(link->m_nUserID);
        }
        return users;
    }
    static Codes Opers(const CSaveProp& store, int32_t groupID) {
        Codes codes;
        const CObList& links = store.m_dataManager.m_groupOperList;
        for (POSITION pos = links.GetHeadPosition(); pos != nullptr;) {
            const auto* link = static_cast<const CInfoGroupOper*>(links.GetNext(pos));
            if (link->m_nGroupID != groupID) continue;
            codes.push_back(static_cast<uint32_t>(link->m_nOperCode));
        }
        return codes;
    }
    // Every group's members and operations.
    static std::vector<std::pair<std::vector<int32_t>, Codes>> AllLinks(const CSaveProp& store) {
        return {{Members(store, 0), Opers(store, 0)},
                {Members(store, 1), Opers(store, 1)},
                {Members(store, 2), Opers(store, 2)}};
    }

    int Show(CDlgGroupProp& dialog, ModalDriver::Action action) {
        m_driver->OnNextModal(std::move(action));
        return dialog.DoModal();
    }
    // The window timer that fills the tree posts a message; the next turn of the loop takes it.
    static void LetTimePass(int64_t milliseconds) {
        AdvanceTimerClock(milliseconds);
        PumpMessages();
    }

    CSaveProp m_store;
};

uint32_t CodeOf(const CDlgGroupProp& dialog, QTreeWidgetItem* item) {
    return static_cast<uint32_t>(
        reinterpret_cast<const CInfoOper*>(dialog.m_treeOper.GetItemData(item))->m_nCode);
}

// The codes of the items in tree order, every item or the checked ones.
Codes TreeCodes(const CDlgGroupProp& dialog, bool checkedOnly) {
    Codes codes;
    QTreeWidgetItemIterator it(dialog.m_treeOper.Widget(), checkedOnly
                                                               ? QTreeWidgetItemIterator::Checked
                                                               : QTreeWidgetItemIterator::All);
    for (; *it; ++it) codes.push_back(CodeOf(dialog, *it));
    return codes;
}

QTreeWidgetItem* ItemOf(const CDlgGroupProp& dialog, uint32_t code) {
    for (QTreeWidgetItemIterator it(dialog.m_treeOper.Widget()); *it; ++it) {
        if (CodeOf(dialog, *it) == code) return *it;
    }
    return nullptr;
}

void ClickCheckBox(const CDlgGroupProp& dialog, uint32_t code) {
    TreeViewWidget* tree = dialog.m_treeOper.Widget();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->CheckBoxRect(ItemOf(dialog, code)).center());
}

QTableWidget* UserList(QWidget* window) {
    return qobject_cast<QTableWidget*>(Control(window, IDC_LIST_MEMBER_USERS));
}

std::vector<bool> CheckedRows(QWidget* window) {
    std::vector<bool> checked;
    QTableWidget* list = UserList(window);
    for (int row = 0; row < list->rowCount(); ++row) {
        checked.push_back(list->item(row, 0)->checkState() == Qt::Checked);
    }
    return checked;
}

void Retype(QWidget* window, int id, const QString& text) {
    qobject_cast<QLineEdit*>(Control(window, id))->clear();
    TypeInto(window, id, text);
}

}  // namespace

TEST_F(GroupPropTest, NewGroupShowsUncheckedUsersAndTheCatalogueOnceTheTimerFires) {
    const struct {
        int32_t browserLibPresent;  // decides whether a new store offers the browser login
        int items;
    } cases[] = {{0, 33}, {1, 32}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items);
        theApp.m_bBrowserLibPresent = c.browserLibPresent;
        CSaveProp store;
        Populate(store);
        CDlgGroupProp dialog(&store);
        dialog.m_nGroupId = 2;
        Show(dialog, [&](QWidget* window) {
            EXPECT_EQ(window->windowTitle(), QStringLiteral("组属性"));
            EXPECT_EQ(CheckedRows(window), (std::vector<bool>{false, false, false}));
            EXPECT_EQ(UserList(window)->item(1, 0)->text(), "1");
            EXPECT_EQ(UserList(window)->item(1, 1)->text(), QStringLiteral("值班员"));
            LetTimePass(99);
            EXPECT_EQ(dialog.m_treeOper.GetCount(), 0);
            LetTimePass(1);
            TreeViewWidget* tree = dialog.m_treeOper.Widget();
            EXPECT_EQ(dialog.m_treeOper.GetCount(), c.items);
            ASSERT_EQ(tree->topLevelItemCount(), 1);
            EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("所有"));
            // The catalogue lists every parent just before its children, as the tree shows them.
            Codes catalogue;
            const CObList& opers = store.m_dataManager.m_operList;
            for (POSITION pos = opers.GetHeadPosition(); pos != nullptr;) {
                catalogue.push_back(
                    static_cast<uint32_t>(static_cast<CInfoOper*>(opers.GetNext(pos))->m_nCode));
            }
            EXPECT_EQ(TreeCodes(dialog, false), catalogue);
            EXPECT_EQ(catalogue.front(), 0x01000000u);
            EXPECT_EQ(TreeCodes(dialog, true), Codes{});
            for (QTreeWidgetItemIterator it(tree, QTreeWidgetItemIterator::HasChildren); *it;
                 ++it) {
                EXPECT_TRUE((*it)->isExpanded()) << (*it)->text(0).toStdString();
            }
            Click(window, IDCANCEL);
        });
    }
    theApp.m_bBrowserLibPresent = 0;
}

// Confirmed at once, before the timer filled the tree, the group keeps its operations as well.
TEST_F(GroupPropTest, EditedGroupShowsItsOwnLinksAndOkKeepsThem) {
    for (const bool waitForTree : {true, false}) {
        SCOPED_TRACE(waitForTree);
        CSaveProp store;
        Populate(store);
        CDlgGroupProp dialog(&store);
        dialog.m_bEdit = 1;
        dialog.m_nGroupId = 0;
        dialog.m_strName = Gbk("运行");
        const int result = Show(dialog, [&](QWidget* window) {
            EXPECT_EQ(CheckedRows(window), (std::vector<bool>{false, true, false}));
            if (waitForTree) {
                LetTimePass(100);
                EXPECT_EQ(TreeCodes(dialog, true), Codes{0x01010200});  // not its children
            }
            Click(window, IDOK);
        });
        ASSERT_EQ(result, IDOK);
        EXPECT_EQ(Opers(store, 0), Codes{0x01010200});
        EXPECT_EQ(Members(store, 0), std::vector<int32_t>{1});
        EXPECT_EQ(Opers(store, 1), Codes{0x01040000});
    }
}

// A refused OK fills the tree itself; the timer firing afterwards adds nothing.
TEST_F(GroupPropTest, TreeIsFilledOnlyOnce) {
    Grant(m_store, 0, 0x01040201);
    CDlgGroupProp dialog(&m_store);
    dialog.m_bEdit = 1;
    dialog.m_nGroupId = 0;
    const int result = Show(dialog, [&](QWidget* window) {
        Click(window, IDOK);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(dialog.m_treeOper.GetCount(), 33);
        LetTimePass(100);
        EXPECT_EQ(dialog.m_treeOper.GetCount(), 33);
        EXPECT_EQ(TreeCodes(dialog, true), (Codes{0x01010200, 0x01040201}));
        TypeInto(window, IDC_EDIT_NAME, "x");
        Click(window, IDOK);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(Opers(m_store, 0), (Codes{0x01010200, 0x01040201}));
}

TEST_F(GroupPropTest, ClickOnACheckBoxChecksTheSubtreeAndOkStoresItInTreeOrder) {
    CDlgGroupProp dialog(&m_store);
    dialog.m_nGroupId = 2;
    const int result = Show(dialog, [&](QWidget* window) {
        LetTimePass(100);
        ClickCheckBox(dialog, 0x01010000);
        EXPECT_EQ(TreeCodes(dialog, true), kDeviceCodes);  // "所有" stays unchecked
        TypeInto(window, IDC_EDIT_NAME, "x");
        Click(window, IDOK);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(Opers(m_store, 2), kDeviceCodes);
}

TEST_F(GroupPropTest, OkTrimsTheNameAndRefusesABlankOrTakenOne) {
    const struct {
        int32_t edit;
        int32_t groupID;
        QString typed;
        const char* notice;  // null: accepted
        QString shown;       // the name field after OK
    } cases[] = {
        {0, 2, QStringLiteral("  新组 "), nullptr, QStringLiteral("新组")},
        {0, 2, "   ", "组名字不能为空或空格!", ""},
        {0, 2, QStringLiteral(" 运行"), "该组名已存在!", QStringLiteral("运行")},
        {1, 1, QStringLiteral("运行"), nullptr, QStringLiteral("运行")},  // another group's name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const auto before = AllLinks(m_store);
        CDlgGroupProp dialog(&m_store);
        dialog.m_bEdit = c.edit;
        dialog.m_nGroupId = c.groupID;
        bool stayedOpen = false;
        const int result = Show(dialog, [&](QWidget* window) {
            Retype(window, IDC_EDIT_NAME, c.typed);
            TypeInto(window, IDC_EDIT_DESC, " d ");
            Click(window, IDOK);
            EXPECT_EQ(ControlText(window, IDC_EDIT_NAME), c.shown);
            stayedOpen = window->isVisible();
            if (stayedOpen) Click(window, IDCANCEL);
        });
        EXPECT_EQ(result, c.notice ? IDCANCEL : IDOK);
        if (c.notice != nullptr) {
            EXPECT_EQ(m_notices->Notices().back(), c.notice);
            EXPECT_EQ(AllLinks(m_store), before);
        } else {
            EXPECT_EQ(dialog.m_strName, Gbk(c.shown.toStdString().c_str()));
            EXPECT_EQ(dialog.m_strDesc, CString(" d "));
        }
    }
}

TEST_F(GroupPropTest, CheckedUsersBecomeTheMembersInRowOrder) {
    CDlgGroupProp dialog(&m_store);
    dialog.m_bEdit = 1;
    dialog.m_nGroupId = 1;
    dialog.m_strName = Gbk("维护");
    const int result = Show(dialog, [&](QWidget* window) {
        EXPECT_EQ(CheckedRows(window), (std::vector<bool>{true, false, true}));
        Click(window, IDC_BTN_SELECT_ALL);
        EXPECT_EQ(CheckedRows(window), (std::vector<bool>{true, true, true}));
        Click(window, IDC_BTN_SELECT_NONE);
        UserList(window)->item(2, 0)->setCheckState(Qt::Checked);
        UserList(window)->item(1, 0)->setCheckState(Qt::Checked);
        Click(window, IDOK);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(Members(m_store, 1), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(Members(m_store, 0), std::vector<int32_t>{1});
}

// Includes the hidden buttons, which mark the selected item (or the top one) with its subtree.
TEST_F(GroupPropTest, CancelAfterChangingChecksLeavesEveryLink) {
    const auto before = AllLinks(m_store);
    CDlgGroupProp dialog(&m_store);
    dialog.m_bEdit = 1;
    dialog.m_nGroupId = 0;
    const int result = Show(dialog, [&](QWidget* window) {
        LetTimePass(100);
        Click(window, IDC_BTN_SELECT_ALL_OPERS);
        EXPECT_EQ(TreeCodes(dialog, true).size(), 33u);
        dialog.m_treeOper.Widget()->setCurrentItem(ItemOf(dialog, 0x01040200));
        Click(window, IDC_BTN_SELECT_NO_OPERS);
        Codes checked = TreeCodes(dialog, false);
        std::erase_if(checked, [](uint32_t code) { return (code & 0xFFFFFF00) == 0x01040200; });
        EXPECT_EQ(TreeCodes(dialog, true), checked);  // "系统" and "所有" stay checked
        ClickCheckBox(dialog, 0x01010000);
        Click(window, IDC_BTN_SELECT_ALL);
        Click(window, IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(AllLinks(m_store), before);
}
