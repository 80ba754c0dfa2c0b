// The check-box tree, clicked and typed at as an operator does: a click on a check box carries
// down to the subtree, and an uncheck up to the ancestors; nothing else carries.
#include <gtest/gtest.h>

#include <QTest>
#include <QTreeWidgetItemIterator>
#include <map>
#include <memory>

#include "admin_ui/CheckTreeCtrl.h"
#include "support/TreeWindow.h"

namespace {

// A { A1 { A1a, A1b }, A2 }, B { B1 }, all expanded, in a shown window with the dialogs' font.
class CheckTreeCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_widget = MakeTreeWindow(m_window, QSize(240, 240));
        m_tree.Attach(m_widget);
        const std::pair<const char*, const char*> shape[] = {
            {"A", nullptr}, {"A1", "A"},    {"A1a", "A1"}, {"A1b", "A1"},
            {"A2", "A"},    {"B", nullptr}, {"B1", "B"}};
        for (const auto& [name, parent] : shape) {
            m_items[name] = m_tree.InsertItem(name, 0, 0, parent ? m_items.at(parent) : TVI_ROOT);
        }
        m_widget->expandAll();
        m_window->show();
    }

    // The names of the checked items, in tree order.
    std::string Checked() const {
        std::string names;
        for (QTreeWidgetItemIterator it(m_widget, QTreeWidgetItemIterator::Checked); *it; ++it) {
            names += (names.empty() ? "" : " ") + (*it)->text(0).toStdString();
        }
        return names;
    }
    void CheckAll() {
        for (const auto& [name, item] : m_items) m_tree.SetCheck(item);
    }
    void ClickAt(QPoint point) {
        QTest::mouseClick(m_widget->viewport(), Qt::LeftButton, {}, point);
    }
    QPoint Box(const char* name) const { return m_widget->CheckBoxRect(m_items.at(name)).center(); }
    QPoint Label(const char* name) const { return m_widget->LabelRect(m_items.at(name)).center(); }

    CCheckTreeCtrl m_tree;
    std::unique_ptr<QWidget> m_window;
    TreeViewWidget* m_widget = nullptr;
    std::map<std::string, HTREEITEM> m_items;
};

TEST_F(CheckTreeCtrlTest, CheckingChecksTheSubtreeAndNoAncestor) {
    ClickAt(Box("A1"));
    EXPECT_EQ(Checked(), "A1 A1a A1b");
    ClickAt(Box("B"));
    EXPECT_EQ(Checked(), "A1 A1a A1b B B1");
}

TEST_F(CheckTreeCtrlTest, UncheckingUnchecksTheSubtreeAndEveryAncestor) {
    const struct {
        const char* clicked;
        const char* stillChecked;
    } cases[] = {
        {"A1a", "A1b A2 B B1"},
        {"A1", "A2 B B1"},
        {"A", "B B1"},
        {"B1", "A A1 A1a A1b A2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clicked);
        CheckAll();
        ClickAt(Box(c.clicked));
        EXPECT_EQ(Checked(), c.stillChecked);
    }
}

TEST_F(CheckTreeCtrlTest, LabelAndExpandButtonCarryNothing) {
    m_tree.SetCheck(m_items.at("A1"));
    ClickAt(Label("A"));
    ClickAt(Label("A1"));
    ClickAt(Label("A1a"));
    ClickAt(m_widget->ExpandButtonRect(m_items.at("A1")).center());
    EXPECT_FALSE(m_items.at("A1")->isExpanded());
    EXPECT_EQ(Checked(), "A1");
}

TEST_F(CheckTreeCtrlTest, KeyboardChangesOnlyThatItem) {
    m_widget->setCurrentItem(m_items.at("A1"));
    QTest::keyClick(m_widget, Qt::Key_Space);
    EXPECT_EQ(Checked(), "A1");
    CheckAll();
    m_widget->setCurrentItem(m_items.at("A1a"));
    QTest::keyClick(m_widget, Qt::Key_Space);
    EXPECT_EQ(Checked(), "A A1 A1b A2 B B1");
}

// Two clicks, each carried and each toggling: the second unchecks A1's subtree and A.
TEST_F(CheckTreeCtrlTest, DoubleClickIsCarriedTwice) {
    m_tree.SetCheck(m_items.at("A"));
    QWidget* viewport = m_widget->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, Box("A1"));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, Box("A1"));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, Box("A1"));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, Box("A1"));
    EXPECT_EQ(Checked(), "");
}

}  // namespace
