#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "OperationTree.h"
#include "module/WardletApp.h"
#include "platform/Cp936.h"
#include "wardlet/store/SaveProp.h"

namespace {

uint32_t CodeOf(const OperationTree& tree, int row, const QModelIndex& parent = {}) {
    return tree.CodeAt(tree.index(row, 0, parent));
}

QString Cell(const OperationTree& tree, uint32_t code, int column) {
    return tree.IndexOfCode(code).siblingAtColumn(column).data().toString();
}

// Checks every row below `parent`: it sits under its parent code, and siblings ascend. Returns
// how many rows there are in all.
int CheckSubtree(const OperationTree& tree, const QModelIndex& parent) {
    int rows = 0;
    uint32_t previous = 0;
    for (int row = 0; row < tree.rowCount(parent); ++row) {
        const QModelIndex index = tree.index(row, 0, parent);
        const uint32_t code = tree.CodeAt(index);
        EXPECT_EQ(ParentRightCode(code), tree.CodeAt(parent)) << std::hex << code;
        EXPECT_LT(previous, code) << std::hex << code;
        previous = code;
        rows += 1 + CheckSubtree(tree, index);
    }
    return rows;
}

TEST(OperationTree, ParentCodeClearsLowestNonZeroByte) {
    const struct {
        uint32_t code;
        uint32_t parent;
    } cases[] = {
        {0x01010201, 0x01010200}, {0x01010200, 0x01010000}, {0x01010000, 0x01000000},
        {0x01000000, 0},          {0x01000001, 0x01000000}, {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParentRightCode(c.code), c.parent) << std::hex << c.code;
}

TEST(OperationTree, CatalogueOfAStoreHangsFromTheRoot) {
    theApp.m_bBrowserLibPresent = 0;  // the browser-login right is offered
    CSaveProp store;
    OperationTree tree;
    tree.Load(store.m_dataManager.m_operList);

    ASSERT_EQ(tree.rowCount(), 1);
    const QModelIndex root = tree.index(0, 0);
    EXPECT_EQ(tree.CodeAt(root), 0x01000000u);
    EXPECT_EQ(root.data().toString(), "所有");
    EXPECT_EQ(CheckSubtree(tree, {}), 33);

    const std::vector<uint32_t> firstLevel = {0x01010000, 0x01020000, 0x01030000,
                                              0x01040000, 0x01050000, 0x01070000};
    ASSERT_EQ(tree.rowCount(root), static_cast<int>(firstLevel.size()));
    for (int row = 0; row < tree.rowCount(root); ++row) {
        EXPECT_EQ(CodeOf(tree, row, root), firstLevel[row]);
    }
    EXPECT_EQ(Cell(tree, 0x01010301, OperationTree::kNameColumn), "设备设置");
    EXPECT_EQ(Cell(tree, 0x01010301, OperationTree::kCodeColumn), "0x01010301");
    EXPECT_EQ(Cell(tree, 0x01010301, OperationTree::kDescColumn), "有对设备进行设置的权限");
    EXPECT_EQ(Cell(tree, 0x01010301, OperationTree::kAnswerColumn), "");
}

TEST(OperationTree, UnorderedListWithGapsAndStrangers) {
    CInfoOper root, leaf, strategies;
    CInfoUser stranger;
    root.m_nCode = 0x01000000;
    leaf.m_nCode = 0x01010201;  // 0x01010200 and 0x01010000 are missing
    leaf.m_strName = CString(*Cp936FromUtf8("添加"));
    strategies.m_nCode = 0x01020000;
    CObList list;
    for (CObject* element : std::initializer_list<CObject*>{&strategies, &stranger, &leaf, &root}) {
        list.AddTail(element);
    }
    OperationTree tree;
    tree.Load(list);
    tree.Load(list);  // loading again replaces the rows

    ASSERT_EQ(tree.rowCount(), 1);
    const QModelIndex top = tree.index(0, 0);
    ASSERT_EQ(tree.rowCount(top), 2);
    EXPECT_EQ(CodeOf(tree, 0, top), 0x01010201u);  // under its nearest ancestor in the list
    EXPECT_EQ(CodeOf(tree, 1, top), 0x01020000u);
    EXPECT_EQ(Cell(tree, 0x01010201, OperationTree::kNameColumn), "添加");
}

TEST(OperationTree, AnswersLandInTheirRow) {
    CSaveProp store;
    OperationTree tree;
    tree.Load(store.m_dataManager.m_operList);
    tree.SetAnswer(0x01040201, "拒绝");
    tree.SetAnswer(0x7F000000, "nowhere");  // no such row: ignored

    EXPECT_EQ(Cell(tree, 0x01040201, OperationTree::kAnswerColumn), "拒绝");
    EXPECT_EQ(Cell(tree, 0x01040202, OperationTree::kAnswerColumn), "");
    EXPECT_FALSE(tree.IndexOfCode(0x7F000000).isValid());
    EXPECT_EQ(tree.CodeAt({}), 0u);
}

}  // namespace
