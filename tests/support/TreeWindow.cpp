#include "support/TreeWindow.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/GuiApplication.h"

TreeViewWidget* MakeTreeWindow(std::unique_ptr<QWidget>& window, QSize size) {
    std::string whyNot;
    EXPECT_TRUE(gui::EnsureApplication(&whyNot)) << whyNot;
    window = std::make_unique<QWidget>();
    QFont font;
    font.setFamilies(
        {QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSize(9);
    window->setFont(font);
    window->resize(size);
    auto* tree = new TreeViewWidget(window.get());
    tree->setGeometry(window->rect());
    return tree;
}
