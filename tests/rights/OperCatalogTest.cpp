#include <gtest/gtest.h>

#include "rights/OperCatalog.h"
#include "rights/RightCode.h"
#include "support/StoreTest.h"

namespace {

// The code one level up: the own-level byte cleared.
uint32_t ParentCode(uint32_t code) {
    static constexpr uint32_t kKeep[] = {0, 0xFF000000u, 0xFFFF0000u, 0xFFFFFF00u};
    return code & kKeep[GetCodeLevel(code) - 1];
}

int IndexOf(uint32_t code) {
    for (int i = 0; i < 33; ++i) {
        if (g_operCatalog[i].code == code) return i;
    }
    return -1;
}

TEST(OperCatalogTest, ThirtyThreeEntriesThenTerminator) {
    for (int i = 0; i < 33; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(g_operCatalog[i].code, 0u);
        EXPECT_FALSE(g_operCatalog[i].name.IsEmpty());
        EXPECT_FALSE(g_operCatalog[i].desc.IsEmpty());
    }
    EXPECT_EQ(g_operCatalog[33].code, 0u);
    EXPECT_TRUE(g_operCatalog[33].name.IsEmpty());
}

TEST(OperCatalogTest, AscendingAndEveryParentFirst) {
    for (int i = 1; i < 33; ++i) {
        uint32_t code = g_operCatalog[i].code;
        SCOPED_TRACE(testing::Message() << std::hex << code);
        EXPECT_LT(g_operCatalog[i - 1].code, code);
        EXPECT_EQ(code >> 24, 0x01u);
        int parent = IndexOf(ParentCode(code));
        EXPECT_GE(parent, 0);
        EXPECT_LT(parent, i);
    }
}

TEST(OperCatalogTest, SpotChecks) {
    EXPECT_EQ(g_operCatalog[0].code, kRootRightCode);
    EXPECT_EQ(g_operCatalog[0].name, CString("\xCB\xF9\xD3\xD0"));  // 所有
    EXPECT_EQ(g_operCatalog[32].code, kBrowserLoginRightCode);
    EXPECT_EQ(g_operCatalog[32].name, CString("\xB5\xC7\xC2\xBD"
                                              "IE"));
    EXPECT_EQ(BrowserLoginRightName(), g_operCatalog[32].name);
    for (uint32_t absent : {0x01020100u, 0x01040300u, 0x01060000u}) {
        EXPECT_EQ(IndexOf(absent), -1) << std::hex << absent;
    }
}

TEST(OperCatalogTest, NamesRepeat) {
    int modify = 0;
    for (int i = 0; i < 33; ++i) modify += g_operCatalog[i].name == Gbk("更改") ? 1 : 0;
    EXPECT_EQ(modify, 3);
}

}  // namespace
