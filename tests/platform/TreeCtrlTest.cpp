// The tree-view control: items by handle, where an item's parts lie in the dialog font, and how a
// click reaches the control before the tree toggles a check box.
#include <gtest/gtest.h>

#include <QTest>
#include <memory>

#include "platform/Cp936.h"
#include "platform/TreeCtrl.h"
#include "support/TreeWindow.h"

namespace {

// Each click as the control hears it: where, on which item, and that item's check box then.
class RecordingTreeCtrl : public CTreeCtrl {
public:
    struct Click {
        QPoint point;
        HTREEITEM item;
        bool checked;
    };
    std::vector<Click> clicks;
    long answer = 0;

protected:
    void OnClick(long* result) override {
        const QPoint point = CursorPosInClient();
        const HTREEITEM item = HitTest(point);
        clicks.push_back({point, item, item != nullptr && GetCheck(item)});
        *result = answer;
    }
};

// Top > Mid > Leaf, expanded, in a shown window with the dialogs' font.
class TreeCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_widget = MakeTreeWindow(m_window, QSize(240, 200));
        m_tree.Attach(m_widget);
        m_top = m_tree.InsertItem("Top", 0, 0);
        m_mid = m_tree.InsertItem("Mid", 0, 0, m_top);
        m_leaf = m_tree.InsertItem("Leaf", 0, 0, m_mid);
        m_tree.Expand(m_top, TVE_EXPAND);
        m_tree.Expand(m_mid, TVE_EXPAND);
        m_window->show();
    }

    QWidget* Viewport() const { return m_widget->viewport(); }
    QPoint Box(HTREEITEM item) const { return m_widget->CheckBoxRect(item).center(); }
    void ClickAt(QPoint point) { QTest::mouseClick(Viewport(), Qt::LeftButton, {}, point); }

    RecordingTreeCtrl m_tree;
    std::unique_ptr<QWidget> m_window;
    TreeViewWidget* m_widget = nullptr;
    HTREEITEM m_top = nullptr;
    HTREEITEM m_mid = nullptr;
    HTREEITEM m_leaf = nullptr;
};

TEST_F(TreeCtrlTest, ItemsByHandle) {
    const HTREEITEM first = m_tree.InsertItem("First", 0, 0, TVI_ROOT, TVI_FIRST);
    const CString motor(*Cp936FromUtf8("电机"));
    const HTREEITEM second = m_tree.InsertItem(motor, 0, 0, TVI_ROOT, first);
    EXPECT_EQ(m_tree.GetRootItem(), first);
    EXPECT_EQ(m_tree.GetChildItem(TVI_ROOT), first);
    EXPECT_EQ(m_tree.GetNextSiblingItem(first), second);
    EXPECT_EQ(m_tree.GetNextSiblingItem(second), m_top);
    EXPECT_EQ(m_tree.GetNextSiblingItem(m_top), nullptr);
    EXPECT_EQ(m_tree.GetChildItem(m_top), m_mid);
    EXPECT_EQ(m_tree.GetChildItem(m_leaf), nullptr);
    EXPECT_EQ(m_tree.GetParentItem(m_leaf), m_mid);
    EXPECT_EQ(m_tree.GetParentItem(m_top), nullptr);

    EXPECT_EQ(m_tree.GetItemText(second), motor);
    EXPECT_EQ(second->text(0), QStringLiteral("电机"));
    EXPECT_TRUE(m_tree.SetItemData(m_leaf, 0xBEEF));
    EXPECT_EQ(m_tree.GetItemData(m_leaf), 0xBEEFu);
    EXPECT_EQ(m_tree.GetItemData(m_mid), 0u);
    EXPECT_TRUE(m_tree.SetCheck(m_mid));
    EXPECT_TRUE(m_tree.GetCheck(m_mid));
    EXPECT_FALSE(m_tree.GetCheck(m_leaf));

    EXPECT_EQ(m_tree.GetCount(), 5);
    EXPECT_TRUE(m_tree.DeleteAllItems());
    EXPECT_EQ(m_tree.GetCount(), 0);
    EXPECT_EQ(m_tree.GetRootItem(), nullptr);
}

// The check box lies in the band one item height wide just left of the label, and the expand
// button further left, at every level; HitTest names each part.
TEST_F(TreeCtrlTest, CheckBoxLiesInTheBandLeftOfTheLabel) {
    for (HTREEITEM item : {m_top, m_mid, m_leaf}) {
        SCOPED_TRACE(item->text(0).toStdString());
        QRect label;
        ASSERT_TRUE(m_tree.GetItemRect(item, &label, true));
        const int h = label.height();
        // All of the check box as drawn, so every click on it toggles.
        const QRect box = m_widget->CheckBoxRect(item);
        EXPECT_GT(box.left(), label.left() - h);
        EXPECT_LT(box.right(), label.left());

        unsigned flags = 0;
        EXPECT_EQ(m_tree.HitTest(box.center(), &flags), item);
        EXPECT_EQ(flags, TVHT_ONITEMSTATEICON);
        EXPECT_EQ(m_tree.HitTest(label.center(), &flags), item);
        EXPECT_EQ(flags, TVHT_ONITEMLABEL);
        EXPECT_EQ(m_tree.HitTest(QPoint(label.right() + 5, label.center().y()), &flags), item);
        EXPECT_EQ(flags, TVHT_ONITEMRIGHT);
        if (item != m_leaf) {
            const QPoint button = m_widget->ExpandButtonRect(item).center();
            EXPECT_LT(button.x(), label.left() - h);
            EXPECT_EQ(m_tree.HitTest(button, &flags), item);
            EXPECT_EQ(flags, TVHT_ONITEMBUTTON);
        }
    }
    unsigned flags = 0;
    EXPECT_EQ(m_tree.HitTest(QPoint(5, Viewport()->height() - 2), &flags), nullptr);
    EXPECT_EQ(flags, TVHT_NOWHERE);
    QRect rect;
    m_tree.Expand(m_mid, TVE_COLLAPSE);
    EXPECT_FALSE(m_tree.GetItemRect(m_leaf, &rect, true));
}

TEST_F(TreeCtrlTest, ClickIsToldBeforeTheToggle) {
    ClickAt(Box(m_mid));
    ClickAt(Box(m_mid));
    ASSERT_EQ(m_tree.clicks.size(), 2u);
    EXPECT_EQ(m_tree.clicks[0].point, Box(m_mid));
    EXPECT_EQ(m_tree.clicks[0].item, m_mid);
    EXPECT_FALSE(m_tree.clicks[0].checked);
    EXPECT_TRUE(m_tree.clicks[1].checked);
    EXPECT_FALSE(m_tree.GetCheck(m_mid));

    m_tree.answer = 1;  // handled: no toggle
    ClickAt(Box(m_mid));
    EXPECT_EQ(m_tree.clicks.size(), 3u);
    EXPECT_FALSE(m_tree.GetCheck(m_mid));
}

// A click elsewhere on an item is told but toggles nothing; Space toggles without a click; a
// press dragged to another item is no click.
TEST_F(TreeCtrlTest, OnlyClicksOnTheCheckBoxToggle) {
    QRect label;
    m_tree.GetItemRect(m_mid, &label, true);
    ClickAt(label.center());
    ClickAt(m_widget->ExpandButtonRect(m_top).center());
    EXPECT_FALSE(m_top->isExpanded());
    EXPECT_EQ(m_tree.clicks.size(), 2u);
    EXPECT_FALSE(m_tree.GetCheck(m_mid));
    EXPECT_FALSE(m_tree.GetCheck(m_top));

    m_widget->setCurrentItem(m_top);
    QTest::keyClick(m_widget, Qt::Key_Space);
    EXPECT_TRUE(m_tree.GetCheck(m_top));
    EXPECT_EQ(m_tree.clicks.size(), 2u);

    m_tree.Expand(m_top, TVE_EXPAND);
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, Box(m_top));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, Box(m_mid));
    EXPECT_EQ(m_tree.clicks.size(), 2u);
    EXPECT_TRUE(m_tree.GetCheck(m_top));
    EXPECT_FALSE(m_tree.GetCheck(m_mid));
}

// As the toolkit delivers a double click: press, release, double click, release. Each
// half is told and toggles; the item neither collapses nor is selected.
TEST_F(TreeCtrlTest, DoubleClickOnTheCheckBoxIsTwoClicks) {
    const QPoint box = Box(m_top);
    QTest::mousePress(Viewport(), Qt::LeftButton, {}, box);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, box);
    QTest::mouseDClick(Viewport(), Qt::LeftButton, {}, box);
    QTest::mouseRelease(Viewport(), Qt::LeftButton, {}, box);
    ASSERT_EQ(m_tree.clicks.size(), 2u);
    EXPECT_FALSE(m_tree.clicks[0].checked);
    EXPECT_TRUE(m_tree.clicks[1].checked);
    EXPECT_FALSE(m_tree.GetCheck(m_top));
    EXPECT_TRUE(m_top->isExpanded());
    EXPECT_TRUE(m_widget->selectedItems().isEmpty());
}

TEST_F(TreeCtrlTest, ControlAndTreeMayGoInEitherOrder) {
    {
        RecordingTreeCtrl other;
        other.Attach(m_widget);  // takes the tree over
        EXPECT_EQ(m_tree.Widget(), nullptr);
        EXPECT_EQ(m_widget->Control(), &other);
    }
    EXPECT_EQ(m_widget->Control(), nullptr);
    ClickAt(Box(m_top));
    EXPECT_TRUE(m_top->checkState(0) == Qt::Checked);

    QWidget notATree;
    m_tree.Attach(&notATree);
    EXPECT_EQ(m_tree.Widget(), nullptr);
    m_tree.Attach(m_widget);
    delete m_widget;
    EXPECT_EQ(m_tree.Widget(), nullptr);
    EXPECT_EQ(m_tree.GetRootItem(), nullptr);
}

}  // namespace
